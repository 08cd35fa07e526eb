#include "about/yardim.h"

#include "platform/toolwindow.h"
#include "platform/widgets.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>

yardim::yardim(QWidget *parent) : QWidget(parent)
{
    platform::makeToolWindow(this, platform::ToolWindowKind::Tool);
    setObjectName(QStringLiteral("yardim"));
    setWindowTitle(QStringLiteral("Yardım"));
    resize(Genislik, Yukseklik);
    const QPalette sistem = QApplication::palette();
    setAutoFillBackground(true);
    platform::setPaletteColor(this, QPalette::Window, sistem.color(QPalette::Highlight));

    // The runs of blanks are part of the sentence and take part in its word wrap.
    const QString metin = QStringLiteral("Program hakkında yardım almak isterseniz.")
                          + QString(11, QLatin1Char(' ')) + QLatin1String(EpostaAdresi)
                          + QString(20, QLatin1Char(' '))
                          + QStringLiteral("adresinden sorularınızı yollayabilirsiniz.");

    // No layout: the label keeps its place and size whatever the window's size.
    Label1 = platform::makeLabel(this, "Label1", QString(), QRect(8, 8, 201, 57));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setText(metin);
    Label1->setWordWrap(true);
    Label1->setMargin(0);
    QFont f(QStringLiteral("Arial Narrow"));
    f.setPointSizeF(9.75);
    Label1->setFont(f);
    platform::setPaletteColor(Label1, QPalette::WindowText, sistem.color(QPalette::HighlightedText));

    // The sentence wraps to more lines than the designed label holds with most faces: the label
    // grows down to hold them, and the first size of the window with it.
    const int yukseklik = platform::wrappedTextHeight(f, metin, Label1->width());
    if (yukseklik > Label1->height()) {
        resize(width(), height() + yukseklik - Label1->height());
        Label1->resize(Label1->width(), yukseklik);
    }
}

yardim::~yardim() = default;
