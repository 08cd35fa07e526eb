// libFuzzer target for the settings store and its numeric reading.
// The first byte picks the part: numbers, a raw file read and then written, or a series of writes.
#include "store/ayardeposu.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void hata(const char *ne, const QString &ayrinti = {})
{
    std::fprintf(stderr, "property broken: %s %s\n", ne, qUtf8Printable(ayrinti));
    std::abort();
}

// What a stored number may look like: blanks around an optional sign and ASCII digits.
bool beklenen(const QString &metin, qint64 enAz, qint64 enCok, qint64 *deger)
{
    const QString m = metin.trimmed();
    qsizetype i = 0;
    bool eksi = false;
    if (i < m.size() && (m[i] == QLatin1Char('-') || m[i] == QLatin1Char('+')))
        eksi = m[i++] == QLatin1Char('-');
    if (i == m.size())
        return false;
    qint64 v = 0;
    for (; i < m.size(); ++i) {
        if (m[i] < QLatin1Char('0') || m[i] > QLatin1Char('9'))
            return false;
        v = v * 10 + (m[i].unicode() - '0');
        if (v > qint64(1) << 40)
            return false; // far beyond every range asked for
    }
    v = eksi ? -v : v;
    *deger = v;
    return v >= enAz && v <= enCok;
}

void sayilar(const QByteArray &g)
{
    const qint32 araliklar[][2] = {{-32768, 32767}, {0, 255}, {0, 0xFFFFFF}, {INT_MIN, INT_MAX}};
    for (const QString &metin : {QString::fromUtf8(g), QString::fromLatin1(g)}) {
        for (const auto &a : araliklar) {
            const qint32 yedek = a[0] == INT_MIN ? 7 : a[0] - 1;
            const qint32 r = Sayi::oku(metin, a[0], a[1], yedek);
            if (r != yedek && (r < a[0] || r > a[1]))
                hata("result outside its range", metin);
            qint64 v = 0;
            const bool olmali = beklenen(metin, a[0], a[1], &v);
            if (olmali && r != v)
                hata("a valid number read wrong", metin);
            if (!olmali && r != yedek)
                hata("text that is no number in range read as one", metin);
        }
    }
    if (g.size() >= 4) {
        qint32 v;
        std::memcpy(&v, g.constData(), 4);
        if (Sayi::oku(QString::number(v), INT_MIN, INT_MAX, 0) != v)
            hata("number does not read back", QString::number(v));
        const qint32 renk = v & 0xFFFFFF;
        if (Sayi::bgr(Sayi::renk(renk)) != renk)
            hata("colour does not convert back", QString::number(renk));
        if (Sayi::oku(QString::number(renk), 0, 0xFFFFFF, -1) != renk)
            hata("colour text does not read back", QString::number(renk));
    }
}

const QStringList onAnahtar = [] {
    QStringList l;
    for (const Anahtar::IlkDeger &d : Anahtar::ilkDegerler)
        l << d.anahtar;
    return l;
}();

void dosyaYaz(const QByteArray &icerik)
{
    QFile f(AyarDeposu::dosyaYolu());
    if (!f.open(QIODevice::WriteOnly) || f.write(icerik) != icerik.size())
        hata("cannot prepare the file");
}

QByteArray dosyaOku()
{
    QFile f(AyarDeposu::dosyaYolu());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Any file: reading never crashes, writing one key changes no other key's value, and a key is
// replaced where it stands: writing it back as it was gives the file of before.
void hamDosya(const QByteArray &g)
{
    dosyaYaz(g);
    QStringList once;
    for (const QString &a : onAnahtar)
        once << AyarDeposu::ayar_oku(a);
    const QString yeni = QStringLiteral("Fuzz Anahtarı");
    const QString deger = QString::fromUtf8(g.left(64));
    if (!AyarDeposu::ayar_yaz(yeni, deger).basarili())
        hata("a write failed");
    if (AyarDeposu::ayar_oku(yeni) != deger)
        hata("written value does not read back", deger);
    for (qsizetype i = 0; i < onAnahtar.size(); ++i) {
        if (AyarDeposu::ayar_oku(onAnahtar[i]) != once[i])
            hata("a write changed another key", onAnahtar[i] + QLatin1String(": ") + once[i]);
    }
    const QByteArray yazilmis = dosyaOku();
    AyarDeposu::ayar_yaz(yeni, deger + QLatin1String("x"));
    AyarDeposu::ayar_yaz(yeni, deger);
    if (dosyaOku() != yazilmis)
        hata("a key rewritten with its value changed the file", deger);
}

// Writes of keys and values taken from the input; every one reads back as last written.
void yazimlar(const QByteArray &g)
{
    QFile::remove(AyarDeposu::dosyaYolu());
    QHash<QString, std::pair<QString, QString>> model; // upper-cased name -> name, value
    const QList<QByteArray> parcalar = g.split('\x01');
    for (qsizetype i = 0; i + 1 < parcalar.size(); i += 2) {
        QString anahtar = QString::fromUtf8(parcalar[i]);
        if (anahtar.isEmpty())
            continue; // the store has no use for a nameless key
        if (anahtar.size() == 1 && anahtar[0].unicode() < onAnahtar.size())
            anahtar = onAnahtar[anahtar[0].unicode()];
        const QString deger = QString::fromUtf8(parcalar[i + 1]);
        AyarDeposu::ayar_yaz(anahtar, deger);
        model[anahtar.toUpper()].second = deger;
    }
    for (auto it = model.cbegin(); it != model.cend(); ++it) {
        if (AyarDeposu::ayar_oku(it.key()) != it->second)
            hata("value does not read back", it.key() + QLatin1String(" = ") + it->second);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // A folder of its own, in memory where there is one: every write syncs the file.
    QByteArray yer = QFile::exists(QStringLiteral("/dev/shm")) ? "/dev/shm/velmora-fuzz-XXXXXX"
                                                               : "/tmp/velmora-fuzz-XXXXXX";
    if (!mkdtemp(yer.data()))
        hata("no temporary folder");
    qputenv("XDG_CONFIG_HOME", yer);
    static const QString klasor = QString::fromLocal8Bit(yer);
    std::atexit([] { QDir(klasor).removeRecursively(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *veri, size_t boy)
{
    if (boy == 0)
        return 0;
    const QByteArray g(reinterpret_cast<const char *>(veri) + 1, qsizetype(boy - 1));
    switch (veri[0] % 3) {
    case 0: sayilar(g); break;
    case 1: hamDosya(g); break;
    default: yazimlar(g); break;
    }
    return 0;
}
