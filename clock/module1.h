#pragma once

#include <QtGlobal>

class QWidget;

namespace Module1 {

// Result codes of seffaflik_uygula.
inline constexpr qint32 Uygulandi = 0;
inline constexpr qint32 AralikDisi = 1;
inline constexpr qint32 SistemHatasi = 2;

// The least opacity shown (10 %): below it the clock, its picture and so its menu could no longer be
// found on the screen.
inline constexpr qint16 EnAzGorunen = 26;

// Applies an opacity of 0 (transparent) to 255 (opaque) to a window, shown as at least EnAzGorunen.
// Any other value changes nothing; a missing window, or one the window system cannot make
// translucent, gives 2.
qint32 seffaflik_uygula(QWidget *pencere, qint16 seffaflik);

} // namespace Module1
