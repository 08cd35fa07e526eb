#include "platform/widgets.h"

#include <QImageReader>
#include <QLabel>
#include <QPixmap>

namespace platform {

void setPaletteColor(QWidget *widget, QPalette::ColorRole role, const QColor &color)
{
    QPalette p = widget->palette();
    p.setColor(role, color);
    widget->setPalette(p);
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QRect geometry,
                  Qt::Alignment alignment)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    l->setAlignment(alignment);
    return l;
}

QPixmap pngPixmap(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace platform
