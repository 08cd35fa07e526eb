#include "startup/ayardeposu.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <utility>
#include <vector>

namespace AyarDeposu {

namespace {

// The store's file: sections in the order first written, each key in the order first written,
// so that a person reading it sees the keys as the program wrote them.
struct Bolum
{
    QString ad;
    std::vector<std::pair<QString, QString>> degerler;
};
using Depo = std::vector<Bolum>;

QString kacir(const QString &metin, bool anahtar)
{
    QString k;
    k.reserve(metin.size());
    for (qsizetype i = 0; i < metin.size(); ++i) {
        const QChar c = metin[i];
        // Blanks at the ends of a key would be trimmed away on reading.
        if (anahtar && (i == 0 || i == metin.size() - 1) && c.isSpace() && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r')) {
            k += QLatin1Char('\\');
            k += c;
            continue;
        }
        switch (c.unicode()) {
        case '\\': k += QLatin1String("\\\\"); break;
        case '\n': k += QLatin1String("\\n"); break;
        case '\r': k += QLatin1String("\\r"); break;
        case '=':
            k += anahtar ? QLatin1String("\\e") : QLatin1String("=");
            break;
        default: k += c;
        }
    }
    // A key must not read back as a section header.
    if (anahtar && k.startsWith(QLatin1Char('[')))
        k.prepend(QLatin1String("\\"));
    return k;
}

QString coz(QStringView metin)
{
    QString c;
    c.reserve(metin.size());
    for (qsizetype i = 0; i < metin.size(); ++i) {
        if (metin[i] != QLatin1Char('\\') || i + 1 == metin.size()) {
            c += metin[i];
            continue;
        }
        switch (metin[++i].unicode()) {
        case 'n': c += QLatin1Char('\n'); break;
        case 'r': c += QLatin1Char('\r'); break;
        case 'e': c += QLatin1Char('='); break;
        default: c += metin[i];
        }
    }
    return c;
}

// A key as written, without the blanks around it that no backslash escapes.
QStringView anahtarKirp(QStringView ham)
{
    while (!ham.isEmpty() && ham.front().isSpace())
        ham = ham.mid(1);
    while (!ham.isEmpty() && ham.back().isSpace()) {
        qsizetype egik = 0;
        while (egik + 1 < ham.size() && ham[ham.size() - 2 - egik] == QLatin1Char('\\'))
            ++egik;
        if (egik % 2)
            break;
        ham.chop(1);
    }
    return ham;
}

// Key and value split at the first "=" that no backslash escapes.
qsizetype esittirYeri(QStringView satir)
{
    for (qsizetype i = 0; i < satir.size(); ++i) {
        if (satir[i] == QLatin1Char('\\'))
            ++i;
        else if (satir[i] == QLatin1Char('='))
            return i;
    }
    return -1;
}

Depo cozumle(const QByteArray &icerik)
{
    Depo depo;
    const QString metin = QString::fromUtf8(icerik);
    for (QStringView satir : QStringView(metin).split(QLatin1Char('\n'))) {
        if (satir.endsWith(QLatin1Char('\r')))
            satir.chop(1);
        if (satir.startsWith(QLatin1Char('[')) && satir.endsWith(QLatin1Char(']'))) {
            depo.push_back({satir.mid(1, satir.size() - 2).toString(), {}});
            continue;
        }
        const qsizetype esit = esittirYeri(satir);
        if (esit <= 0 || depo.empty())
            continue; // comments, blank lines and anything unreadable
        depo.back().degerler.emplace_back(coz(anahtarKirp(satir.left(esit))), coz(satir.mid(esit + 1)));
    }
    return depo;
}

QByteArray yaz(const Depo &depo)
{
    QString metin;
    for (const Bolum &b : depo) {
        if (!metin.isEmpty())
            metin += QLatin1Char('\n');
        metin += QLatin1Char('[') + b.ad + QLatin1String("]\n");
        for (const auto &[anahtar, deger] : b.degerler)
            metin += kacir(anahtar, true) + QLatin1Char('=') + kacir(deger, false) + QLatin1Char('\n');
    }
    return metin.toUtf8();
}

// Names compare as the upper-cased Unicode texts.
bool ayniAd(const QString &a, const QString &b)
{
    return a.toUpper() == b.toUpper();
}

template <typename Liste, typename Ad> auto bul(Liste &liste, const QString &aranan, Ad ad)
{
    return std::find_if(liste.begin(), liste.end(), [&](auto &x) { return ayniAd(ad(x), aranan); });
}

bool oku(Depo &depo)
{
    QFile f(dosyaYolu());
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly))
        return false;
    depo = cozumle(f.readAll());
    return f.error() == QFileDevice::NoError;
}

} // namespace

QString dosyaYolu()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           uygulama + QLatin1String(".ini");
}

QString ayar_oku(const QString &anahtar, const QString &bolumAdi)
{
    Depo depo;
    if (!oku(depo))
        return QString();
    const auto b = bul(depo, bolumAdi, [](const Bolum &x) { return x.ad; });
    if (b == depo.end())
        return QString();
    const auto d = bul(b->degerler, anahtar, [](const auto &x) { return x.first; });
    return d == b->degerler.end() ? QString() : d->second;
}

void ayar_yaz(const QString &anahtar, const QString &metin, const QString &bolumAdi)
{
    const QString yol = dosyaYolu();
    auto uyar = [&](const QString &neden) {
        qWarning("velmora: could not write \"%s\" to %s: %s", qUtf8Printable(anahtar), qUtf8Printable(yol),
                 qUtf8Printable(neden));
    };
    Depo depo;
    if (!oku(depo)) {
        // Rewriting a store that cannot be read would lose every other setting in it.
        uyar(QStringLiteral("the store cannot be read"));
        return;
    }
    auto b = bul(depo, bolumAdi, [](const Bolum &x) { return x.ad; });
    if (b == depo.end()) {
        depo.push_back({bolumAdi, {}});
        b = depo.end() - 1;
    }
    auto d = bul(b->degerler, anahtar, [](const auto &x) { return x.first; });
    if (d == b->degerler.end())
        b->degerler.emplace_back(anahtar, metin);
    else
        d->second = metin;

    QDir().mkpath(QFileInfo(yol).absolutePath());
    // A new file renamed over the old one: a kill at any moment leaves the old file or the new one.
    QSaveFile f(yol);
    if (!f.open(QIODevice::WriteOnly)) {
        uyar(f.errorString());
        return;
    }
    f.write(yaz(depo));
    if (!f.commit())
        uyar(f.errorString());
}

} // namespace AyarDeposu

namespace Sayi {

qint32 oku(const QString &metin, qint32 enAz, qint32 enCok, qint32 yedek)
{
    // Qt's conversion stops at a NUL and reads "71\0x" as 71; the store can hold NULs.
    if (metin.contains(QChar(0)))
        return yedek;
    bool ok = false;
    const qlonglong v = metin.trimmed().toLongLong(&ok, 10);
    if (!ok || v < enAz || v > enCok)
        return yedek;
    return static_cast<qint32>(v);
}

qint32 renkOku(const QString &anahtar, qint32 yedek)
{
    return oku(AyarDeposu::ayar_oku(anahtar), 0, 0xFFFFFF, yedek);
}

QColor renk(qint32 bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

qint32 bgr(const QColor &c)
{
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

} // namespace Sayi
