#pragma once

#include "platform/replaceable.h"

#include <QString>

namespace platform {

// The folder that holds the executable, never the working directory.
QString programFolder();

// Tests install a folder of their own.
class ProgramFolder : public Replaceable<ProgramFolder>
{
public:
    virtual ~ProgramFolder() = default;
    virtual QString path() const = 0;
};

} // namespace platform
