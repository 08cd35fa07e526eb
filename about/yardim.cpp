#include "about/yardim.h"

#include "platform/windowmanager.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>

yardim::yardim(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("yardim"));
    setWindowTitle(QStringLiteral("Yardım"));
    setWindowIcon(platform::blankIcon());
    resize(Genislik, Yukseklik);
    const QPalette sistem = QApplication::palette();
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, sistem.color(QPalette::Highlight));
    setPalette(p);

    // The runs of blanks are part of the sentence and take part in its word wrap.
    const QString metin = QStringLiteral("Program hakkında yardım almak isterseniz.")
                          + QString(11, QLatin1Char(' ')) + QLatin1String(EpostaAdresi)
                          + QString(20, QLatin1Char(' '))
                          + QStringLiteral("adresinden sorularınızı yollyabilirsiniz.");

    // No layout: the label keeps its place and size whatever the window's size.
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 201, 57);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setText(metin);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setMargin(0);
    QFont f(QStringLiteral("Arial Narrow"));
    f.setPointSizeF(9.75);
    Label1->setFont(f);
    QPalette lp = Label1->palette();
    lp.setColor(QPalette::WindowText, sistem.color(QPalette::HighlightedText));
    Label1->setPalette(lp);
}

yardim::~yardim() = default;

void yardim::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A tool window: no taskbar entry, as the dialogs.
    platform::skipTaskbar(this);
}
