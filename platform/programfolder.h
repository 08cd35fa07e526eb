#pragma once

#include <QString>

namespace platform {

// The folder that holds the executable, never the working directory.
QString programFolder();

// Tests point the program at a folder of their own; an empty text restores the real one.
void setProgramFolderForTesting(const QString &folder);

} // namespace platform
