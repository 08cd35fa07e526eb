#include "scopedprogramfolder.h"

ScopedProgramFolder::ScopedProgramFolder(const QString &path) : m_path(path)
{
    install(this);
}

ScopedProgramFolder::~ScopedProgramFolder()
{
    reset();
}

QString ScopedProgramFolder::path() const
{
    return m_path;
}
