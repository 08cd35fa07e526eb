#include "store/ayardeposu.h"

#include <QDeadlineTimer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QDir>
#include <QStringDecoder>
#include <QStringList>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace AyarDeposu {

namespace {

// The file is kept as its lines: the ones the program does not write come back byte for byte.
// A key line is "key=value"; blanks around either are not part of it unless a backslash escapes them.
struct Satir
{
    QByteArray govde; // the line without its end
    QByteArray son;   // "\n", "\r\n", or "" for a last line without one
    enum Tur { Diger, Baslik, Anahtar } tur = Diger;
    QString ad;           // the section's or the key's name
    qsizetype esit = -1;  // where the "=" of a key line stands
    bool utf8Ad = true;   // the key's bytes are UTF-8
    qsizetype bolum = -1; // the header line above it
};
using Satirlar = std::vector<Satir>;

constexpr QByteArrayView bom("\xef\xbb\xbf");

QString kacir(const QString &metin, bool anahtar)
{
    QString k;
    k.reserve(metin.size());
    for (qsizetype i = 0; i < metin.size(); ++i) {
        const QChar c = metin[i];
        // Blanks at the ends would be trimmed away on reading.
        if ((i == 0 || i == metin.size() - 1) && c.isSpace() && c != QLatin1Char('\n') &&
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

// A key or value without the blanks around it that no backslash escapes.
QStringView kirp(QStringView ham)
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

// Key and value split at the first "=" that no backslash escapes. Both are ASCII, so the bytes of
// UTF-8 and of an 8-bit code page split alike.
qsizetype esittirYeri(QByteArrayView satir)
{
    for (qsizetype i = 0; i < satir.size(); ++i) {
        if (satir[i] == '\\')
            ++i;
        else if (satir[i] == '=')
            return i;
    }
    return -1;
}

// UTF-8 where the bytes are valid UTF-8; otherwise Latin-5, the Turkish 8-bit code page that stores
// edited or written elsewhere may be in.
QString metin(QByteArrayView bayt, bool *utf8 = nullptr)
{
    QStringDecoder d(QStringDecoder::Utf8,
                     QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString m = d(bayt);
    if (utf8)
        *utf8 = !d.hasError();
    if (!d.hasError())
        return m;
    m = QString::fromLatin1(bayt);
    for (QChar &c : m) {
        switch (c.unicode()) {
        case 0xD0: c = u'Ğ'; break;
        case 0xDD: c = u'İ'; break;
        case 0xDE: c = u'Ş'; break;
        case 0xF0: c = u'ğ'; break;
        case 0xFD: c = u'ı'; break;
        case 0xFE: c = u'ş'; break;
        default: break;
        }
    }
    return m;
}

void sinifla(Satir &s, bool ilk)
{
    QByteArrayView g(s.govde);
    if (ilk && g.startsWith(bom))
        g = g.sliced(bom.size());
    s.tur = Satir::Diger;
    const QByteArrayView kirpik = g.trimmed();
    if (kirpik.startsWith('[') && kirpik.endsWith(']') && kirpik.size() >= 2) {
        s.tur = Satir::Baslik;
        s.ad = metin(kirpik.sliced(1, kirpik.size() - 2));
        return;
    }
    const qsizetype e = esittirYeri(g);
    if (e < 0)
        return;
    s.ad = coz(kirp(metin(g.first(e), &s.utf8Ad)));
    if (s.ad.isEmpty())
        return; // "=" alone, or a nameless key: not ours to read
    s.tur = Satir::Anahtar;
    s.esit = e + (s.govde.size() - g.size());
}

void bolumleriBagla(Satirlar &satirlar)
{
    qsizetype bolum = -1;
    for (qsizetype i = 0; i < qsizetype(satirlar.size()); ++i) {
        if (satirlar[i].tur == Satir::Baslik)
            bolum = i;
        satirlar[i].bolum = bolum;
    }
}

Satirlar cozumle(const QByteArray &icerik)
{
    Satirlar satirlar;
    for (qsizetype bas = 0; bas < icerik.size();) {
        Satir s;
        const qsizetype son = icerik.indexOf('\n', bas);
        if (son < 0) {
            s.govde = icerik.mid(bas);
            bas = icerik.size();
        } else {
            s.govde = icerik.mid(bas, son - bas);
            s.son = "\n";
            bas = son + 1;
            if (s.govde.endsWith('\r')) {
                s.govde.chop(1);
                s.son = "\r\n";
            }
        }
        sinifla(s, satirlar.empty());
        satirlar.push_back(std::move(s));
    }
    bolumleriBagla(satirlar);
    return satirlar;
}

QByteArray birlestir(const Satirlar &satirlar)
{
    QByteArray b;
    for (const Satir &s : satirlar)
        b += s.govde + s.son;
    return b;
}

// Names compare as the upper-cased Unicode texts.
bool ayniAd(const QString &a, const QString &b)
{
    return a.toUpper() == b.toUpper();
}

bool bolumde(const Satirlar &satirlar, const Satir &s, const QString &bolumAdi)
{
    return s.bolum >= 0 && ayniAd(satirlar[s.bolum].ad, bolumAdi);
}

// The first line of the key in the section, or -1.
qsizetype anahtarSatiri(const Satirlar &satirlar, const QString &bolumAdi, const QString &anahtar)
{
    for (qsizetype i = 0; i < qsizetype(satirlar.size()); ++i) {
        const Satir &s = satirlar[i];
        if (s.tur == Satir::Anahtar && ayniAd(s.ad, anahtar) && bolumde(satirlar, s, bolumAdi))
            return i;
    }
    return -1;
}

QString deger(const Satir &s)
{
    return coz(kirp(metin(QByteArrayView(s.govde).sliced(s.esit + 1))));
}

Satir yeniSatir(const QString &metin, const QByteArray &son)
{
    Satir s;
    s.govde = metin.toUtf8();
    s.son = son;
    sinifla(s, false);
    return s;
}

void yerlestir(Satirlar &satirlar, const QString &bolumAdi, const QString &anahtar, const QString &yeni)
{
    const qsizetype i = anahtarSatiri(satirlar, bolumAdi, anahtar);
    if (i >= 0) {
        Satir &s = satirlar[i];
        if (s.utf8Ad) {
            // The key and the blanks around "=" stay as they stand; only the value changes.
            qsizetype d = s.esit + 1;
            while (d < s.govde.size() && (s.govde[d] == ' ' || s.govde[d] == '\t'))
                ++d;
            s.govde = s.govde.left(d) + kacir(yeni, false).toUtf8();
        } else {
            // A key in another encoding is written anew in UTF-8 under the name it was read as, so
            // that it stands once.
            s.govde = (kacir(s.ad, true) + QLatin1Char('=') + kacir(yeni, false)).toUtf8();
            sinifla(s, i == 0);
        }
        return;
    }

    // New lines end as the file's first line does.
    QByteArray son = "\n";
    if (!satirlar.empty() && !satirlar.front().son.isEmpty())
        son = satirlar.front().son;
    const QString satir = kacir(anahtar, true) + QLatin1Char('=') + kacir(yeni, false);

    // After the last key of the section, or right below its header.
    qsizetype baslik = -1;
    for (qsizetype j = 0; j < qsizetype(satirlar.size()) && baslik < 0; ++j) {
        if (satirlar[j].tur == Satir::Baslik && ayniAd(satirlar[j].ad, bolumAdi))
            baslik = j;
    }
    qsizetype yer = -1;
    if (baslik >= 0) {
        yer = baslik + 1;
        for (qsizetype j = yer; j < qsizetype(satirlar.size()) && satirlar[j].bolum == baslik; ++j) {
            if (satirlar[j].tur == Satir::Anahtar)
                yer = j + 1;
        }
    } else {
        // A new section at the end, after a blank line.
        if (!satirlar.empty()) {
            if (satirlar.back().son.isEmpty())
                satirlar.back().son = son;
            satirlar.push_back(yeniSatir(QString(), son));
        }
        satirlar.push_back(yeniSatir(QLatin1Char('[') + bolumAdi + QLatin1Char(']'), son));
        yer = qsizetype(satirlar.size());
    }
    if (satirlar[yer - 1].son.isEmpty())
        satirlar[yer - 1].son = son;
    satirlar.insert(satirlar.begin() + yer, yeniSatir(satir, son));
    bolumleriBagla(satirlar);
}

Sonuc hata(int no, const char *adim)
{
    Sonuc s;
    switch (no) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: s.neden = Sonuc::DiskDolu; break;
    case EACCES:
    case EPERM:
    case EROFS: s.neden = Sonuc::IzinYok; break;
    default: s.neden = Sonuc::Diger; break;
    }
    s.ayrinti = QLatin1String(adim) + QLatin1String(": ") + QString::fromLocal8Bit(std::strerror(no));
    return s;
}

// Far above any store the program writes (a reminder of a few megabytes included).
constexpr qint64 enBuyukDepo = 16 * 1024 * 1024;

// 0 or the errno of the step that failed. An absent file reads as empty. Only a regular file of
// bounded size is a store: a FIFO would block the start, a device would never end.
int dosyaOku(const QByteArray &yol, QByteArray *icerik, struct stat *bilgi = nullptr)
{
    const int fd = ::open(yol.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? 0 : errno;
    auto birak = [fd](int e) {
        ::close(fd);
        return e;
    };
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return birak(errno);
    if (!S_ISREG(st.st_mode))
        return birak(EINVAL);
    if (st.st_size > enBuyukDepo)
        return birak(EOVERFLOW);
    icerik->reserve(st.st_size);
    if (bilgi)
        *bilgi = st;
    char tampon[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, tampon, sizeof tampon);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return birak(errno);
        if (n == 0)
            break;
        icerik->append(tampon, n);
        if (icerik->size() > enBuyukDepo) // grown while read
            return birak(EOVERFLOW);
    }
    return birak(0);
}

// Like mkdir -p: 0 or the errno that stopped it.
int klasorYap(const QByteArray &yol)
{
    struct stat st;
    if (yol.isEmpty() || ::stat(yol.constData(), &st) == 0)
        return yol.isEmpty() || S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    const qsizetype bol = yol.lastIndexOf('/');
    if (bol > 0) {
        if (const int e = klasorYap(yol.left(bol)))
            return e;
    }
    return ::mkdir(yol.constData(), 0777) == 0 || errno == EEXIST ? 0 : errno;
}

QByteArray klasoru(const QByteArray &yol)
{
    const qsizetype bol = yol.lastIndexOf('/');
    return bol > 0 ? yol.left(bol) : QByteArray(bol == 0 ? "/" : ".");
}

// The file a chain of symbolic links ends at; the store itself when it is no link.
bool hedefBul(QByteArray *yol)
{
    for (int i = 0; i < 40; ++i) {
        struct stat st;
        if (::lstat(yol->constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        QByteArray baglanti(4096, Qt::Uninitialized);
        const ssize_t n = ::readlink(yol->constData(), baglanti.data(), size_t(baglanti.size()));
        if (n == baglanti.size())
            errno = ENAMETOOLONG;
        if (n < 0 || n == baglanti.size())
            return false;
        baglanti.truncate(n);
        *yol = baglanti.startsWith('/') ? baglanti : klasoru(*yol) + '/' + baglanti;
    }
    errno = ELOOP;
    return false;
}

// The new file is written beside the store as "<store>.yeni-" and seven base-36 digits: a name that
// no file of the user's is likely to have, so that one left by a killed writer can be told apart.
constexpr char geciciEk[] = ".yeni-";
constexpr int geciciUzunluk = 7;

bool geciciAdi(const QByteArray &ad, const QByteArray &hedefAdi)
{
    const QByteArray on = hedefAdi + geciciEk;
    if (ad.size() != on.size() + geciciUzunluk || !ad.startsWith(on))
        return false;
    for (const char c : ad.sliced(on.size())) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

// New files that a writer killed on its way left beside the store. Called under the lock, so no
// writer of ours is at work.
void artiklariSil(const QByteArray &hedef)
{
    const QByteArray klasor = klasoru(hedef);
    const QByteArray ad = hedef.sliced(hedef.lastIndexOf('/') + 1);
    DIR *d = ::opendir(klasor.constData());
    if (!d)
        return;
    while (const dirent *e = ::readdir(d)) {
        struct stat st;
        if (geciciAdi(QByteArray(e->d_name), ad) &&
            ::fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            ::unlinkat(dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
}

// A new file beside the old one, synced, then renamed over it: the old file stays whole until the
// new one is complete on disk, whatever fails on the way.
Sonuc degistir(const QByteArray &hedef, const QByteArray &icerik, const struct stat *eski)
{
    QByteArray gecici;
    int fd = -1;
    for (int deneme = 0; fd < 0; ++deneme) {
        gecici = hedef + geciciEk + QByteArray::number(QRandomGenerator::global()->generate(), 36)
                                        .rightJustified(geciciUzunluk, '0');
        fd = ::open(gecici.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || deneme == 20))
            return hata(errno, "create");
    }
    auto vazgec = [&](const char *adim) {
        const int e = errno;
        if (fd >= 0)
            ::close(fd);
        ::unlink(gecici.constData());
        return hata(e, adim);
    };
    // The old file's permissions carry over: a store the user made private stays private.
    if (eski && ::fchmod(fd, eski->st_mode & 07777) != 0)
        return vazgec("chmod");
    for (qsizetype yazilan = 0; yazilan < icerik.size();) {
        const ssize_t n = ::write(fd, icerik.constData() + yazilan, size_t(icerik.size() - yazilan));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return vazgec("write");
        }
        yazilan += n;
    }
    if (::fsync(fd) != 0)
        return vazgec("fsync");
    const int kapandi = ::close(fd);
    fd = -1;
    if (kapandi != 0)
        return vazgec("close");
    if (::rename(gecici.constData(), hedef.constData()) != 0)
        return vazgec("rename");
    // The rename reaches the disk with its folder. The new file is in place by now, so a failure here
    // is only worth a word.
    const int kfd = ::open(klasoru(hedef).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (kfd < 0 || ::fsync(kfd) != 0)
        qWarning("velmora: could not sync the folder of %s: %s", hedef.constData(), std::strerror(errno));
    if (kfd >= 0)
        ::close(kfd);
    return {};
}

Sonuc kilitHatasi(QLockFile::LockError h, int no, const QByteArray &klasor)
{
    if (h == QLockFile::PermissionError)
        return hata(EACCES, "lock");
    if (h == QLockFile::LockFailedError)
        return hata(EBUSY, "lock");
    // QLockFile says only "unknown" when it cannot write its own small file, as on a full disk.
    struct statvfs v;
    if (no != ENOSPC && no != EDQUOT && no != EFBIG && ::statvfs(klasor.constData(), &v) == 0 &&
        v.f_bavail == 0)
        no = ENOSPC;
    return hata(no ? no : EIO, "lock");
}

Sonuc yazim(const QList<std::pair<QString, QString>> &degerler, const QString &bolumAdi)
{
    for (const auto &d : degerler) {
        if (d.first.isEmpty())
            return hata(EINVAL, "key");
    }
    const QByteArray yol = QFile::encodeName(dosyaYolu());
    if (const int e = klasorYap(klasoru(yol)))
        return hata(e, "mkdir");
    // A link is written through: the file it points to is replaced, the link stays.
    QByteArray hedef = yol;
    if (!hedefBul(&hedef))
        return hata(errno, "readlink");

    // Read and replace as one step against other clocks of the same user.
    const QString kilitYolu = QFile::decodeName(hedef) + QLatin1String(".lock");
    QLockFile kilit(kilitYolu);
    kilit.setStaleLockTime(10000);
    // Another clock holds it for one write, a few milliseconds: QLockFile's own wait would sleep 100 ms
    // and more between tries.
    const QDeadlineTimer sure(5000);
    for (;;) {
        errno = 0;
        if (kilit.tryLock(0))
            break;
        const int no = errno;
        if (kilit.error() != QLockFile::LockFailedError || sure.hasExpired())
            return kilitHatasi(kilit.error(), no, klasoru(hedef));
        // A writer killed between making the lock file and writing its name in it left it empty:
        // QLockFile would wait out the whole stale time, and the write would fail meanwhile.
        const QFileInfo bos(kilitYolu);
        if (bos.exists() && bos.size() == 0 &&
            bos.lastModified().msecsTo(QDateTime::currentDateTime()) > 1000)
            kilit.removeStaleLockFile();
        QThread::msleep(2);
    }

    QByteArray eski;
    struct stat bilgi;
    bilgi.st_mode = 0;
    // Rewriting a store that cannot be read would lose every other setting in it.
    if (const int e = dosyaOku(hedef, &eski, &bilgi))
        return hata(e, "read");
    const bool var = bilgi.st_mode != 0;
    // A store the user made read-only stays as it is, even where the folder would allow a rename.
    if (var && ::faccessat(AT_FDCWD, hedef.constData(), W_OK, AT_EACCESS) != 0)
        return hata(errno, "open");

    artiklariSil(hedef);

    Satirlar satirlar = cozumle(eski);
    for (const auto &[anahtar, metin] : degerler)
        yerlestir(satirlar, bolumAdi, anahtar, metin);
    const QByteArray yeni = birlestir(satirlar);
    if (var && yeni == eski)
        return {};
    return degistir(hedef, yeni, var ? &bilgi : nullptr);
}

} // namespace

QString Sonuc::mesaj() const
{
    switch (neden) {
    case Tamam: return QString();
    case DiskDolu: return QStringLiteral("Ayar kaydedilemedi: disk dolu.");
    case IzinYok: return QStringLiteral("Ayar kaydedilemedi: erişim izni yok.");
    case Diger: break;
    }
    return QStringLiteral("Ayar kaydedilemedi: dosyaya yazılamadı.");
}

QString dosyaYolu()
{
    // A relative XDG_CONFIG_HOME is no setting, as the XDG base directory rules have it: the
    // store would land wherever the program was started.
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString klasor = QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + QLatin1String("/.config");
    return QDir::cleanPath(klasor) + QLatin1Char('/') + uygulama + QLatin1String(".ini");
}

QString ayar_oku(const QString &anahtar, const QString &bolumAdi)
{
    // No lock: the file is only ever replaced whole.
    QByteArray icerik;
    if (dosyaOku(QFile::encodeName(dosyaYolu()), &icerik) != 0)
        return QString();
    const Satirlar satirlar = cozumle(icerik);
    const qsizetype i = anahtarSatiri(satirlar, bolumAdi, anahtar);
    return i < 0 ? QString() : deger(satirlar[i]);
}

Sonuc ayarlari_yaz(const QList<std::pair<QString, QString>> &degerler, const QString &bolumAdi)
{
    const Sonuc s = yazim(degerler, bolumAdi);
    if (!s.basarili()) {
        QStringList adlar;
        for (const auto &d : degerler)
            adlar << QLatin1Char('"') + d.first + QLatin1Char('"');
        const char *neden = s.neden == Sonuc::DiskDolu ? "disk full"
                            : s.neden == Sonuc::IzinYok ? "no permission"
                                                        : "error";
        qWarning("velmora: could not write %s to %s: %s (%s)",
                 qUtf8Printable(adlar.join(QLatin1String(", "))), qUtf8Printable(dosyaYolu()), neden,
                 qUtf8Printable(s.ayrinti));
    }
    return s;
}

Sonuc ayar_yaz(const QString &anahtar, const QString &metin, const QString &bolumAdi)
{
    return ayarlari_yaz({{anahtar, metin}}, bolumAdi);
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
