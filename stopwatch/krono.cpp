#include "stopwatch/krono.h"

#include "clock/ikibasamak.h"
#include "platform/accessibility.h"
#include "platform/clock.h"
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
    // The designed client area cuts the buttons at the bottom and "Başla" at the right.
    for (QPushButton *b : {Command3, Command2, Command1})
        platform::growToCaption(b);
    platform::growToHoldChildren(this);
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
    // A second press changes nothing: the count neither speeds up nor throws away its second.
    if (m_baslangic)
        return;
    m_baslangic = platform::Clock::instance().sinceBoot();
    Timer1->setEnabled(true);
    // The part of a second run before "Durdur" counts: the fields change when it is whole.
    Timer1->startWithFirstPeriod(int(1000 - m_birikmis % 1000));
}

void Krono::Command2_Click()
{
    if (!m_baslangic)
        return;
    m_birikmis = gecen();
    m_baslangic.reset();
    Timer1->setEnabled(false);
    // A tick held back by a stopped program may not have come yet.
    goster(m_birikmis);
}

void Krono::Command3_Click()
{
    m_birikmis = 0;
    saniye_sayac = 0;
    saat_sayac = 0;
    dakika_sayac = 0;
    Label1->setText(QStringLiteral("00"));
    Label2->setText(QStringLiteral("00"));
    Label3->setText(QStringLiteral("00"));
    if (m_baslangic) {
        m_baslangic = platform::Clock::instance().sinceBoot();
        Timer1->startWithFirstPeriod(1000);
    }
}

void Krono::Timer1_Timer()
{
    const qint64 ms = gecen();
    goster(ms);
    // The next tick at the turn of the next second, also after a tick that came late.
    Timer1->startWithFirstPeriod(int(1000 - ms % 1000));
}

qint64 Krono::gecen() const
{
    if (!m_baslangic)
        return m_birikmis;
    return m_birikmis + platform::Clock::instance().sinceBoot() - *m_baslangic;
}

void Krono::goster(qint64 ms)
{
    const qint64 saniye = ms / 1000;
    saniye_sayac = qint16(saniye % 60);
    dakika_sayac = qint16(saniye / 60 % 60);
    // After 23:59:59 the count goes on from 00:00:00.
    saat_sayac = qint16(saniye / 3600 % 24);
    Label1->setText(ikiBasamak(saat_sayac));
    Label2->setText(ikiBasamak(dakika_sayac));
    Label3->setText(ikiBasamak(saniye_sayac));
}
