#include "stopwatch/krono.h"

#include "clock/ikibasamak.h"
#include "platform/accessibility.h"
#include "platform/toolwindow.h"
#include "platform/widgets.h"
#include "platform/windowtimer.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace {

QLabel *alan(QWidget *parent, const char *ad, const QString &anlam, int sol)
{
    QLabel *l =
        platform::makeLabel(parent, ad, QStringLiteral("Label1"), QRect(sol, 16, 41, 41), Qt::AlignHCenter | Qt::AlignTop);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(18);
    l->setFont(f);
    platform::nameField(l, anlam);
    platform::setPaletteColor(l, QPalette::WindowText,
                              QApplication::palette().color(QPalette::HighlightedText));
    return l;
}

QPushButton *dugme(QWidget *parent, const char *ad, const QString &baslik, int sol)
{
    auto *b = new QPushButton(baslik, parent);
    b->setObjectName(QLatin1String(ad));
    b->setGeometry(sol, 64, 49, 25);
    // Buttons keep the system's look: their frames are drawn from the window colour, which
    // they would otherwise inherit as highlight.
    platform::setPaletteColor(b, QPalette::Window, QApplication::palette().color(QPalette::Window));
    return b;
}

} // namespace

Krono::Krono(QWidget *parent) : QWidget(parent)
{
    platform::makeToolWindow(this, platform::ToolWindowKind::Window,
                             QIcon(QStringLiteral(":/velmora/velmora.png")));
    setObjectName(QStringLiteral("Krono"));
    setWindowTitle(QStringLiteral("Kronometre"));
    setFixedSize(Genislik, Yukseklik);
    setAutoFillBackground(true);
    platform::setPaletteColor(this, QPalette::Window, QApplication::palette().color(QPalette::Highlight));

    Label1 = alan(this, "Label1", QStringLiteral("Saat"), 8);
    Label2 = alan(this, "Label2", QStringLiteral("Dakika"), 56);
    Label3 = alan(this, "Label3", QStringLiteral("Saniye"), 104);
    Command3 = dugme(this, "Command3", QStringLiteral("Sıfırla"), 0);
    Command2 = dugme(this, "Command2", QStringLiteral("Durdur"), 56);
    Command1 = dugme(this, "Command1", QStringLiteral("Başla"), 112);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    Command1->setFocus();

    Timer1 = new platform::WindowTimer(this, 0);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    connect(Command1, &QPushButton::clicked, this, &Krono::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Krono::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Krono::Command3_Click);
    connect(Timer1, &platform::WindowTimer::timeout, this, &Krono::Timer1_Timer);

    Form_Load();
}

Krono::~Krono() = default;

void Krono::Form_Load()
{
    Label1->setText(QStringLiteral("00"));
    Label2->setText(QStringLiteral("00"));
    Label3->setText(QStringLiteral("00"));
    Timer1->setInterval(1000);
    Timer1->setEnabled(false);
}

void Krono::Command1_Click()
{
    // Enabling a running timer leaves its period alone, so a second press neither speeds up the
    // count nor throws away the second in progress.
    Timer1->setEnabled(true);
}

void Krono::Command2_Click()
{
    Timer1->setEnabled(false);
}

void Krono::Command3_Click()
{
    saniye_sayac = 0;
    saat_sayac = 0;
    dakika_sayac = 0;
    Label1->setText(QStringLiteral("00"));
    Label2->setText(QStringLiteral("00"));
    Label3->setText(QStringLiteral("00"));
}

void Krono::Timer1_Timer()
{
    saniye_sayac += 1;
    if (saniye_sayac == 60) {
        saniye_sayac = 0;
        dakika_sayac += 1;
        if (dakika_sayac == 60) {
            dakika_sayac = 0;
            saat_sayac += 1;
            if (saat_sayac == 24)
                saat_sayac = 0;
        }
    }
    Label1->setText(ikiBasamak(saat_sayac));
    Label2->setText(ikiBasamak(dakika_sayac));
    Label3->setText(ikiBasamak(saniye_sayac));
}
