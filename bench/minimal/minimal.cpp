// The smallest honest Qt Widgets clock, the yardstick of the bench: a 133 x 34 frameless strip,
// hour, minute and second labels refreshed by a plain 1000 ms timer, separators toggled every 500 ms.
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTime>
#include <QTimer>
#include <QWidget>

namespace {
QLabel *label(QWidget *parent, const QString &text, QRect place, bool bold)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(place);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(18);
    f.setBold(bold);
    l->setFont(f);
    l->setAlignment(bold ? (Qt::AlignHCenter | Qt::AlignTop) : (Qt::AlignLeft | Qt::AlignTop));
    return l;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget w(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    w.setFixedSize(133, 34);
    w.setAutoFillBackground(true);
    QPalette p = w.palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::green);
    w.setPalette(p);

    // The same places as the product's labels, so that the bench reads the seconds in the same box.
    QLabel *hours = label(&w, QStringLiteral("00"), QRect(8, 8, 33, 25), false);
    QLabel *sep1 = label(&w, QStringLiteral(":"), QRect(32, 6, 17, 25), true);
    QLabel *minutes = label(&w, QStringLiteral("00"), QRect(48, 8, 33, 25), false);
    QLabel *sep2 = label(&w, QStringLiteral(":"), QRect(72, 6, 17, 25), true);
    QLabel *seconds = label(&w, QStringLiteral("00"), QRect(88, 8, 33, 25), false);

    auto refresh = [=] {
        const QTime t = QTime::currentTime();
        hours->setText(t.toString(QStringLiteral("HH")));
        minutes->setText(t.toString(QStringLiteral("mm")));
        seconds->setText(t.toString(QStringLiteral("ss")));
    };
    refresh();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &w, refresh);
    tick.start(1000);

    bool shown = true;
    QTimer blink;
    QObject::connect(&blink, &QTimer::timeout, &w, [&] {
        shown = !shown;
        sep1->setText(shown ? QStringLiteral(":") : QStringLiteral(" "));
        sep2->setText(shown ? QStringLiteral(":") : QStringLiteral(" "));
    });
    blink.start(500);

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    w.move(screen.right() + 1 - w.width(), screen.bottom() + 1 - w.height() - 33);
    w.show();
    return app.exec();
}
