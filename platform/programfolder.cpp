#include "platform/programfolder.h"

#include <QCoreApplication>

namespace platform {

QString programFolder()
{
    const ProgramFolder *folder = ProgramFolder::installed();
    return folder ? folder->path() : QCoreApplication::applicationDirPath();
}

} // namespace platform
