#pragma once

class QCoreApplication;

namespace platform {

// Installs Qt's own Turkish texts (qtbase_tr), so the standard dialogs and context menus speak
// Turkish like the rest of the program. False when the translation is not installed.
bool loadQtTranslation(QCoreApplication *app);

} // namespace platform
