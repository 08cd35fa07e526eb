#include "platform/programfolder.h"

#include <QCoreApplication>

namespace platform {

namespace {
QString testFolder;
}

QString programFolder()
{
    return testFolder.isEmpty() ? QCoreApplication::applicationDirPath() : testFolder;
}

void setProgramFolderForTesting(const QString &folder)
{
    testFolder = folder;
}

} // namespace platform
