#pragma once

#include <QPalette>
#include <QRect>
#include <QString>

class QColor;
class QLabel;
class QPixmap;
class QWidget;

namespace platform {

// Gives one colour role of a widget's palette a colour, in every colour group.
void setPaletteColor(QWidget *widget, QPalette::ColorRole role, const QColor &color);

// A label placed by hand at a designed position: its object name, text, geometry and alignment.
QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QRect geometry,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop);

// A PNG picture, read by Qt's own reader. Read by name, a picture makes Qt load every image plugin
// to ask whether it reads that format, and they stay loaded for the rest of the run.
QPixmap pngPixmap(const QString &path);

} // namespace platform
