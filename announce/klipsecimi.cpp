#include "announce/klipsecimi.h"

namespace KlipSecimi {

namespace {
QString dosya(int sayi)
{
    return QStringLiteral("/Ses/%1.wav").arg(sayi);
}
} // namespace

std::optional<QString> klip(Konum konum, int deger)
{
    const int onlar = deger / 10;
    const int birler = deger % 10;
    switch (konum) {
    case Konum::SaatOnlar:
    case Konum::DakikaOnlar:
        return dosya(onlar * 10);
    case Konum::SaatBirler:
    case Konum::DakikaBirler:
        if (birler != 0 || deger == 0)
            return dosya(birler);
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace KlipSecimi
