#pragma once

#include <QColor>
#include <QList>
#include <QString>

#include <array>
#include <utility>

// The per-user settings store: application "Orlenbay", one section, text values by key.
// Application, section and key names compare without regard to case; a key keeps the
// spelling of its first write. Lines the program does not write (comments, other sections, text in
// another encoding) are kept as they are.
namespace AyarDeposu {

inline const QString uygulama = QStringLiteral("Orlenbay");
inline const QString bolum = QStringLiteral("Velmora V.2.0");

// What became of a write. A failed one left the file as it was.
struct Sonuc
{
    enum Neden { Tamam, DiskDolu, IzinYok, Diger };
    Neden neden = Tamam;
    // The step that failed and the system's words, for stderr.
    QString ayrinti;

    bool basarili() const { return neden == Tamam; }
    // One short sentence for the user; "" for a write that succeeded.
    QString mesaj() const;
};

// "" when the key, the section or the store is absent or unreadable; reading creates nothing.
QString ayar_oku(const QString &anahtar, const QString &bolumAdi = bolum);
// On disk and synced when it succeeds; a failure is also reported on stderr.
Sonuc ayar_yaz(const QString &anahtar, const QString &metin, const QString &bolumAdi = bolum);
// Several keys in one step: all of them or none. Keys not yet in the file are added in this order.
Sonuc ayarlari_yaz(const QList<std::pair<QString, QString>> &degerler, const QString &bolumAdi = bolum);

// The file behind the store, under the user's config folder.
QString dosyaYolu();

} // namespace AyarDeposu

// The keys, spelled as they are stored.
namespace Anahtar {
inline const QString Ayar = QStringLiteral("Ayar");
inline const QString YaziRengi = QStringLiteral("Yazı Rengi");
inline const QString Seffaflik = QStringLiteral("Şeffaflık");
inline const QString Dil = QStringLiteral("Dil");
inline const QString OkumaDili = QStringLiteral("Okuma Dili");
inline const QString Zaman1 = QStringLiteral("Zaman1");
inline const QString Zaman2 = QStringLiteral("Zaman2");
inline const QString Baslik = QStringLiteral("Başlık");
inline const QString Metin = QStringLiteral("Metin");
inline const QString Arka = QStringLiteral("Arka");

// The ten keys with the values the first run writes, in the order it writes them. The numeric
// fall-backs below are these values too.
struct IlkDeger
{
    const QString &anahtar;
    QString deger;
};
inline const std::array<IlkDeger, 10> ilkDegerler = {{
    {Ayar, QStringLiteral("1")},
    {YaziRengi, QStringLiteral("65280")},
    {Seffaflik, QStringLiteral("255")},
    {Dil, QStringLiteral("Türkçe")},
    {OkumaDili, QStringLiteral("Türkçe")},
    {Zaman1, QStringLiteral("00")},
    {Zaman2, QStringLiteral("00")},
    {Baslik, QString()},
    {Metin, QString()},
    {Arka, QStringLiteral("0")},
}};

// The first-run value of a key of the table.
inline QString ilkDeger(const QString &anahtar)
{
    for (const IlkDeger &d : ilkDegerler) {
        if (d.anahtar == anahtar)
            return d.deger;
    }
    return QString();
}
} // namespace Anahtar

// Numeric settings: decimal text, read with a fallback for text that is not a number in range.
namespace Sayi {

// The value of a decimal integer text within [enAz, enCok], otherwise the fallback.
qint32 oku(const QString &metin, qint32 enAz, qint32 enCok, qint32 yedek);

// Colours are 0x00BBGGRR values: red in the low byte.
inline const qint32 varsayilanYaziRengi = Anahtar::ilkDeger(Anahtar::YaziRengi).toInt();
inline const qint32 varsayilanArka = Anahtar::ilkDeger(Anahtar::Arka).toInt();
inline const qint32 varsayilanSeffaflik = Anahtar::ilkDeger(Anahtar::Seffaflik).toInt();

qint32 renkOku(const QString &anahtar, qint32 yedek);
QColor renk(qint32 bgr);
qint32 bgr(const QColor &renk);

} // namespace Sayi
