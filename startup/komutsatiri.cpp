#include "startup/komutsatiri.h"

#include <QLatin1StringView>

#include <cstring>

namespace {

// Qt's own command-line options (QGuiApplication, QApplication and the X11 platform), without the
// leading dash; Qt takes them with one dash or two.
constexpr const char *qtDegerli[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                     "geometry", "qwindowicon", "icon", "qwindowtitle", "title", "session",
                                     "display", "name", "style", "stylesheet", "visual"};
constexpr const char *qtBayrak[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

bool icinde(const auto &liste, const QByteArray &ad)
{
    for (const char *s : liste) {
        if (ad == s)
            return true;
    }
    return false;
}

} // namespace

KomutSatiri KomutSatiri::oku(int argc, char *argv[])
{
    KomutSatiri k;
    if (argc > 0)
        k.qtIcin.push_back(argv[0]);
    bool oku = false;
    bool yardim = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arguman(argv[i]);
        if (arguman == "--oku") {
            oku = true;
            continue;
        }
        if (arguman == "--help" || arguman == "-h") {
            yardim = true;
            continue;
        }
        QByteArray ad = arguman.startsWith("--") ? arguman.mid(2) : arguman.mid(1);
        ad = ad.left(ad.indexOf('=') < 0 ? ad.size() : ad.indexOf('='));
        const bool degerli = arguman.startsWith('-') && icinde(qtDegerli, ad);
        const bool esitle = arguman.contains('=');
        if (degerli && !esitle && i + 1 < argc) {
            if (ad == "display")
                k.xEkrani = argv[i + 1];
            k.qtIcin.push_back(argv[i]);
            k.qtIcin.push_back(argv[++i]);
        } else if ((degerli && esitle) || (arguman.startsWith('-') && icinde(qtBayrak, ad)) ||
                   arguman.startsWith("-qmljsdebugger=")) {
            k.qtIcin.push_back(argv[i]);
        } else if (k.is != Is::Hata) {
            k.is = Is::Hata;
            k.hata = QStringLiteral("velmora: bilinmeyen seçenek: %1 (seçenekler için: velmora --help)")
                         .arg(QString::fromLocal8Bit(arguman));
        }
    }
    if (yardim)
        k.is = Is::Yardim;
    else if (k.is != Is::Hata && oku)
        k.is = Is::Oku;
    return k;
}

QString KomutSatiri::kullanim()
{
    return QStringLiteral("Kullanım: velmora [--oku]\n"
                          "Tüm pencerelerin üstünde duran, saati sesli okuyan küçük saat.\n"
                          "\n"
                          "  --oku     bu ekranda çalışan saate saati hemen okutur; saat çalışmıyorsa\n"
                          "            onu başlatır ve penceresi açılınca okur\n"
                          "  --help    bu yardımı gösterir\n"
                          "\n"
                          "Seçeneksiz başlatılan saat, bu ekranda zaten çalışıyorsa onu köşesine çağırır.\n");
}
