#include "platform/widgets.h"

#include <QFontMetricsF>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <QtMath>

#include <climits>

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

namespace {

constexpr qreal scales[] = {1.0, 1.25, 1.5, 2.0};

QFontMetricsF metricsAt(const QFont &font, qreal scale)
{
    QFont f(font);
    if (font.pixelSize() > 0)
        f.setPixelSize(qRound(font.pixelSize() * scale));
    else
        f.setPointSizeF(font.pointSizeF() * scale);
    return QFontMetricsF(f);
}

// The largest of a measure over the scales, rounded up, with a pixel to spare for the rounding of
// positions at a fractional scale.
template <typename Measure> int largest(const QFont &font, Measure measure)
{
    qreal most = 0;
    for (qreal scale : scales)
        most = qMax(most, measure(metricsAt(font, scale), scale) / scale);
    return qCeil(most) + 1;
}

} // namespace

int textWidth(const QFont &font, const QString &text)
{
    return largest(font, [&](const QFontMetricsF &m, qreal) { return m.horizontalAdvance(text); });
}

int lineHeight(const QFont &font)
{
    return largest(font, [](const QFontMetricsF &m, qreal) { return m.height(); });
}

int wrappedTextHeight(const QFont &font, const QString &text, int width)
{
    return largest(font, [&](const QFontMetricsF &m, qreal scale) {
        return m.boundingRect(QRectF(0, 0, width * scale, 1e6), Qt::TextWordWrap, text).height();
    });
}

void growToCaption(QPushButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    QString caption = button->text();
    // "&T" shows as an underlined T, "&&" as one "&".
    for (int i = caption.indexOf(QLatin1Char('&')); i >= 0 && i < caption.size(); i = caption.indexOf(QLatin1Char('&'), i + 1))
        caption.remove(i, 1);
    const QSize needed(textWidth(button->font(), caption) + button->width() - contents.width(),
                       lineHeight(button->font()) + button->height() - contents.height());
    button->resize(button->size().expandedTo(needed));
}

void clearCaptions(const QList<QLabel *> &captions, const QList<QWidget *> &controls)
{
    int left = INT_MAX;
    for (const QWidget *control : controls)
        left = qMin(left, control->x());
    int shift = 0;
    for (const QLabel *caption : captions)
        shift = qMax(shift, caption->x() + textWidth(caption->font(), caption->text()) - left);
    if (shift <= 0)
        return;
    for (QWidget *control : controls)
        control->move(control->x() + shift, control->y());
}

void growToHoldChildren(QWidget *window)
{
    QRect all = window->rect();
    for (const QWidget *child : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow())
            all |= child->geometry();
    }
    const QSize size = window->size().expandedTo(QSize(all.right() + 1, all.bottom() + 1));
    if (size == window->size())
        return;
    if (window->minimumSize() == window->maximumSize())
        window->setFixedSize(size);
    else
        window->resize(size);
}

QPixmap pngPixmap(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

} // namespace platform
