#pragma once

namespace platform {

// Installs Qt's own Turkish texts (qtbase_tr) once, so the standard dialogs and context menus speak
// Turkish like the rest of the program. Called where such a dialog or window first opens: the clock
// alone needs none of it. False when the translation is not installed.
bool loadQtTranslation();

} // namespace platform
