#include "helpers.h"

#include "dialogs/menu.h"
#include "store/ayardeposu.h"

#include <QFile>
#include <QIcon>
#include <QImage>

QStringList storeKeyOrder()
{
    QStringList names;
    for (const QString &line : QString::fromUtf8(storeBytes()).split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('[')))
            names << line.section(QLatin1Char('='), 0, 0);
    }
    return names;
}

QByteArray storeBytes()
{
    QFile f(AyarDeposu::dosyaYolu());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList firstRunKeys()
{
    QStringList keys;
    for (const Anahtar::IlkDeger &d : Anahtar::ilkDegerler)
        keys << d.anahtar;
    return keys;
}

bool focusRingShown(QWidget *window)
{
    QWidget *odak = window->focusWidget();
    if (!odak)
        return false;
    // The control as the window shows it, against the control drawn alone.
    const QImage pencere = window->grab().toImage();
    const QImage kendi = odak->grab().toImage();
    const QPoint yer = odak->mapTo(window, QPoint(0, 0));
    auto fark = [&](QPoint p) { return qAbs(qGray(pencere.pixel(yer + p)) - qGray(kendi.pixel(p))); };
    for (const QPoint kenar : {QPoint(odak->width() / 2, 0), QPoint(0, odak->height() / 2)}) {
        const QPoint ice = kenar.x() == 0 ? QPoint(1, 0) : QPoint(0, 1);
        if (qMax(fark(kenar), qMax(fark(kenar + ice), fark(kenar + 2 * ice))) < 100)
            return false;
    }
    return true;
}

bool isBlankIcon(const QIcon &icon)
{
    const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
    return true;
}

QAction *menuCommand(Menu &menu, const char *name)
{
    const QList<QAction *> top = menu.popupMenu()->actions();
    QList<QAction *> all = top;
    for (QAction *a : top) {
        if (a->menu())
            all += a->menu()->actions();
    }
    for (QAction *a : all) {
        if (a->objectName() == QLatin1String(name))
            return a;
    }
    qFatal("no menu item %s", name);
}
