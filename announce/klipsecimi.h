#pragma once

#include <QString>
#include <optional>

// Which of the sixteen clips speaks a position of the time.
namespace KlipSecimi {

enum class Konum { SaatOnlar, SaatBirler, DakikaOnlar, DakikaBirler };

// Relative to the program folder, with the platform's separator.
inline const QString acilis = QStringLiteral("/Ses/Saat.wav");

// The clip for a position and the hour (0-23) or minute (0-59) read for it; tens positions always
// have one, a units position has none for 10, 20, 30, 40 and 50.
std::optional<QString> klip(Konum konum, int deger);

} // namespace KlipSecimi
