#pragma once

#include <QList>
#include <QPalette>
#include <QRect>
#include <QString>

class QColor;
class QFont;
class QPushButton;
class QLabel;
class QPixmap;
class QWidget;

namespace platform {

// Gives one colour role of a widget's palette a colour, in every colour group.
void setPaletteColor(QWidget *widget, QPalette::ColorRole role, const QColor &color);

// A label placed by hand at a designed position: its object name, text, geometry and alignment.
QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QRect geometry,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop);

// The room a text takes in a font, in pixels at 96 dots per inch, at every scale factor the program
// may be drawn at (1 to 2): each screen hints and rounds the font its own way.
int textWidth(const QFont &font, const QString &text);
int lineHeight(const QFont &font);
int wrappedTextHeight(const QFont &font, const QString &text, int width);

// Grows a button just enough to show its caption whole, keeping its place.
void growToCaption(QPushButton *button);

// Moves controls drawn over the ends of captions right, all by the same step, just far enough that
// every caption shows whole left of them.
void clearCaptions(const QList<QLabel *> &captions, const QList<QWidget *> &controls);

// Grows a window just enough to hold all of its controls; a larger window stays as it is.
void growToHoldChildren(QWidget *window);

// A PNG picture, read by Qt's own reader. Read by name, a picture makes Qt load every image plugin
// to ask whether it reads that format, and they stay loaded for the rest of the run.
QPixmap pngPixmap(const QString &path);

} // namespace platform
