#include "helpers.h"

#include "dialogs/menu.h"
#include "startup/ayardeposu.h"

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
