#pragma once

#include "platform/programfolder.h"

// Points the program at a folder of its own for its lifetime.
class ScopedProgramFolder : public platform::ProgramFolder
{
public:
    explicit ScopedProgramFolder(const QString &path);
    ~ScopedProgramFolder() override;

    QString path() const override;

private:
    QString m_path;
};
