#include "clock/form1.h"

#include "clock/ikibasamak.h"
#include "clock/module1.h"
#include "platform/accessibility.h"
#include "platform/clock.h"
#include "platform/focusreturn.h"
#include "platform/widgets.h"
#include "platform/screenwatch.h"
#include "platform/windowmanager.h"
#include "platform/windowtimer.h"
#include "store/ayardeposu.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>

namespace {

// Ticks of the seconds timer land this long after the turn of the second: late enough never to
// fall before it, early enough that the digits never visibly trail another clock.
constexpr int hizaGecikmesi = 3;
// A tick further than this past the turn means the timer has drifted; it is lined up again.
constexpr int hizaToleransi = 30;
// A blink tick due this close after the seconds tick comes with it.
constexpr int birlikteTikPayi = 10;

// The digits and the separators: Arial 18 pt, the separators bold.
QLabel *etiket(QWidget *parent, const char *ad, const QString &metin, QRect yer, bool kalin,
               Qt::Alignment hiza)
{
    QLabel *l = platform::makeLabel(parent, ad, metin, yer, hiza);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(18);
    f.setBold(kalin);
    l->setFont(f);
    return l;
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Genislik, Yukseklik);
    // A window manager that comes or goes under the clock: back to the corner, on top.
    platform::unmanagedWhereNotKeptAbove(this, [this] { Form_Activate(); });
    setAutoFillBackground(true);
    platform::setPaletteColor(this, QPalette::Window, Qt::black);

    const Qt::Alignment rakam = Qt::AlignLeft | Qt::AlignTop;
    const Qt::Alignment ayirac = Qt::AlignHCenter | Qt::AlignTop;
    saat = etiket(this, "saat", QStringLiteral("00"), QRect(8, 8, 33, 25), false, rakam);
    Label1 = etiket(this, "Label1", QStringLiteral(":"), QRect(32, 6, 17, 25), true, ayirac);
    dakika = etiket(this, "dakika", QStringLiteral("00"), QRect(48, 8, 33, 25), false, rakam);
    Label2 = etiket(this, "Label2", QStringLiteral(":"), QRect(72, 6, 17, 25), true, ayirac);
    saniye = etiket(this, "saniye", QStringLiteral("00"), QRect(88, 8, 33, 25), false, rakam);
    yaziRengiUygula(Sayi::renk(Sayi::varsayilanYaziRengi));
    // A screen reader hears the time as the window's name, once a minute; the blinking separators
    // and the ticking digits would only flood it.
    platform::setAccessibleRole(this, platform::AccessibleRole::Frame);
    platform::hideFromScreenReaders(Label1);
    platform::hideFromScreenReaders(Label2);
    platform::nameField(saat, QStringLiteral("Saat"));
    platform::nameField(dakika, QStringLiteral("Dakika"));
    platform::nameField(saniye, QStringLiteral("Saniye"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    // The designed 16 pixels would pass the strip's right edge by 3: the picture keeps its place and
    // shrinks to what the strip shows, clear of the seconds whatever the face.
    const int resim = qMin(16, Genislik - 120);
    Image1->setGeometry(120, 8, resim, resim);
    Image1->setPixmap(platform::pngPixmap(QStringLiteral(":/velmora/image1.png")));
    Image1->setScaledContents(true);
    Image1->installEventFilter(this);
    platform::makeAccessibleButton(Image1, QStringLiteral("Menü"), [this] { Image1_MouseDown(); });

    Timer1 = new platform::WindowTimer(this, 1000);
    Timer2 = new platform::WindowTimer(this, 1000);
    Timer3 = new platform::WindowTimer(this, 0);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer3->setObjectName(QStringLiteral("Timer3"));
    connect(Timer1, &platform::WindowTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Timer2, &platform::WindowTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Timer3, &platform::WindowTimer::timeout, this, &Form1::Timer3_Timer);

    // Coming back from another window of this program activates the clock; coming back from
    // another program does not. A popup menu takes the keyboard but not the activation: closing it
    // leaves the clock where it was dragged.
    connect(new platform::FocusReturn(this), &platform::FocusReturn::returned, this, &Form1::Form_Activate);
    // A screen that shrinks or goes away can strand the clock off the desktop, its menu out of reach.
    platform::watchScreens(this, [this] {
        if (isVisible() && !platform::whollyOnScreens(frameGeometry()))
            Form_Activate();
    });
}

Form1::~Form1() = default;

void Form1::guncelle()
{
    const QTime simdi = platform::Clock::instance().currentTime();
    saniye->setText(ikiBasamak(simdi.second()));
    dakika->setText(ikiBasamak(simdi.minute()));
    saat->setText(ikiBasamak(simdi.hour()));
    const QString ad = saat->text() + QLatin1Char(':') + dakika->text();
    if (accessibleName() != ad)
        setAccessibleName(ad);
}

void Form1::Form_Load()
{
    guncelle();
    saniyeyeHizala();
    // ":" for at least the first second, as designed, up to a half second of the seconds tick.
    Timer2->startWithFirstPeriod(yanipSonmeSuresi(1000, 1500));
    const QString metin = AyarDeposu::ayar_oku(Anahtar::Seffaflik);
    const qint32 seffaflik = Sayi::oku(metin, -32768, 32767, Sayi::varsayilanSeffaflik);
    Module1::seffaflik_uygula(this, static_cast<qint16>(seffaflik));
}

void Form1::Form_Activate()
{
    platform::keepAbove(this);
    const QRect ekran = platform::primaryScreenGeometry();
    platform::moveTo(this, QPoint(ekran.x() + ekran.width() - width(),
                                  ekran.y() + ekran.height() - height() - KoseBoslugu));
    platform::setPaletteColor(this, QPalette::Window,
                              Sayi::renk(Sayi::renkOku(Anahtar::Arka, Sayi::varsayilanArka)));
}

void Form1::yaziRengiUygula(const QColor &renk)
{
    for (QLabel *l : {saat, dakika, saniye, Label1, Label2})
        platform::setPaletteColor(l, QPalette::WindowText, renk);
}

void Form1::Unload()
{
    m_bosaltiliyor = true;
    close();
}

void Form1::saniyeyeHizala()
{
    const int ms = platform::Clock::instance().currentTime().msec();
    Timer1->startWithFirstPeriod(1000 - ms + hizaGecikmesi);
}

int Form1::yanipSonmeSuresi(int enAz, int enCok) const
{
    const int kalan = Timer1->remainingTime();
    if (kalan < 0)
        return 500;
    // A millisecond after the seconds tick, or after the middle between two.
    int sure = kalan + 1;
    while (sure > enCok)
        sure -= 500;
    while (sure < enAz)
        sure += 500;
    return sure;
}

void Form1::Timer1_Timer()
{
    guncelle();
    const int ms = platform::Clock::instance().currentTime().msec();
    if (ms > hizaToleransi)
        saniyeyeHizala();
    for (platform::WindowTimer *t : {Timer2, Timer3}) {
        const int kalan = t->remainingTime();
        if (kalan >= 0 && kalan <= birlikteTikPayi)
            t->tickNow();
    }
}

// The blink's 500 ms are counted to the seconds tick or the middle between two, so that every other
// blink tick comes with the seconds tick (Timer1_Timer): two wake-ups a second instead of three. It
// also keeps the blink from drifting away from the seconds by each tick's lateness.
void Form1::Timer2_Timer()
{
    Timer2->setInterval(0);
    Timer3->setInterval(500);
    Timer3->startWithFirstPeriod(yanipSonmeSuresi(251, 750));
    Label1->setText(QStringLiteral(" "));
    Label2->setText(QStringLiteral(" "));
}

void Form1::Timer3_Timer()
{
    Timer3->setInterval(0);
    Timer2->setInterval(500);
    Timer2->startWithFirstPeriod(yanipSonmeSuresi(251, 750));
    Label1->setText(QStringLiteral(":"));
    Label2->setText(QStringLiteral(":"));
}

void Form1::Image1_MouseDown()
{
    Q_EMIT menuIstendi();
}

void Form1::Form_MouseMove(Qt::MouseButtons dugmeler, QPoint ekranKonumu)
{
    // One hand-over per press: the window manager owns the pointer from then on.
    if (dugmeler == Qt::LeftButton && !m_tasimaIstendi) {
        m_tasimaIstendi = true;
        m_yoneticiTasiyor = platform::startSystemMove(this, m_basmaNoktasi.value_or(ekranKonumu));
    }
}

void Form1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The show event comes just before the mapping: the window manager finds the state at once.
    platform::skipTaskbar(this);
    if (m_ilkGosterim) {
        m_ilkGosterim = false;
        Form_Activate();
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    // Closed by the window manager or a logout, not for a rebuild: nothing else could end the program.
    if (!m_bosaltiliyor)
        QCoreApplication::exit(0);
}

void Form1::mousePressEvent(QMouseEvent *event)
{
    platform::focusOnPress(this);
    if (event->button() == Qt::LeftButton) {
        m_basmaNoktasi = event->globalPosition().toPoint();
        m_tasimaIstendi = false;
        m_yoneticiTasiyor = false;
        // A compositor moves from where the pointer is when asked: asked at the press, the press
        // point stays under the pointer. A click without a move then moves nothing.
        if (event->buttons() == Qt::LeftButton && platform::moveStartsWhereAsked()) {
            m_tasimaIstendi = true;
            m_yoneticiTasiyor = platform::startSystemMove(this, *m_basmaNoktasi);
        }
    }
    QWidget::mousePressEvent(event);
}

void Form1::mouseMoveEvent(QMouseEvent *event)
{
    if (platform::followPointer(this, event))
        return;
    Form_MouseMove(event->buttons(), event->globalPosition().toPoint());
    // A move the program makes itself starts with this motion, not the next one.
    platform::followPointer(this, event);
}

void Form1::mouseReleaseEvent(QMouseEvent *event)
{
    platform::followPointer(this, event);
    if (!(event->buttons() & Qt::LeftButton)) {
        // A release that still reaches the clock after the hand-over means the window manager had not
        // taken the pointer yet; it would otherwise start the move with the button already up.
        if (m_yoneticiTasiyor)
            platform::cancelSystemMove(this);
        m_tasimaIstendi = false;
        m_yoneticiTasiyor = false;
        m_basmaNoktasi.reset();
    }
    QWidget::mouseReleaseEvent(event);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    // Qt turns a press soon after the last one at the same place into a double click: for the
    // picture it is a press like any other.
    if (watched == Image1 &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        Image1_MouseDown();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
