#include "about/hakkinda.h"
#include "about/yardim.h"
#include "clock/form1.h"
#include "dialogs/menu.h"
#include "dialogs/renk.h"
#include "dialogs/seffaflik.h"
#include "dialogs/uyari.h"
#include "dialogs/zamanlayici.h"
#include "mockclock.h"
#include "stopwatch/krono.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// The font as a screen at scale factor f draws it: f times the pixels, hinted and rounded there.
QFontMetricsF olcekli(const QFont &yazi, int f)
{
    QFont s(yazi);
    if (yazi.pixelSize() > 0)
        s.setPixelSize(yazi.pixelSize() * f);
    else
        s.setPointSizeF(yazi.pointSizeF() * f);
    return QFontMetricsF(s);
}

// Whether one line of text, laid out in room as the alignment puts it, keeps all of its ink
// inside room, at scale f. Returns what is wrong, or nothing.
QString tekSatir(const QFont &yazi, const QString &metin, QRectF oda, Qt::Alignment hiza, int f)
{
    const QFontMetricsF m = olcekli(yazi, f);
    const QRectF o(oda.topLeft() * f, oda.size() * f);
    const qreal genislik = m.horizontalAdvance(metin);
    if (genislik > o.width() + 0.5)
        return QStringLiteral("%1 px wide in %2").arg(genislik / f).arg(oda.width());
    qreal ust = o.top();
    if (hiza & Qt::AlignVCenter)
        ust += (o.height() - m.height()) / 2;
    else if (hiza & Qt::AlignBottom)
        ust += o.height() - m.height();
    const QRectF murekkep = m.tightBoundingRect(metin).translated(0, ust + m.ascent());
    if (murekkep.top() < o.top() - 0.5 || murekkep.bottom() > o.bottom() + 0.5)
        return QStringLiteral("ink from %1 to %2 in %3 to %4")
            .arg(murekkep.top() / f).arg(murekkep.bottom() / f).arg(oda.top()).arg(oda.bottom());
    return {};
}

// The part of a label no later sibling control is drawn over, as far as the parent shows it.
QRect etiketOdasi(const QLabel *l)
{
    QRect oda = l->contentsRect().adjusted(l->margin(), l->margin(), -l->margin(), -l->margin());
    oda.translate(l->pos());
    oda &= l->parentWidget()->rect();
    for (const QWidget *k : l->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (k != l && !qobject_cast<const QLabel *>(k) && k->isVisibleTo(l->window()) &&
            k->geometry().intersects(oda))
            oda.setRight(qMin(oda.right(), k->x() - 1));
    }
    return oda.translated(-l->pos());
}

QStringList sorunlar(QWidget *pencere, int f)
{
    QStringList s;
    auto ekle = [&](const QWidget *w, const QString &metin, const QString &sorun) {
        if (!sorun.isEmpty())
            s << QStringLiteral("%1 \"%2\": %3").arg(w->objectName(), metin, sorun);
    };
    for (QWidget *w : pencere->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(pencere) || w->isWindow())
            continue;
        // Every control and picture lies inside the window.
        const QRect yer(w->mapTo(pencere, QPoint(0, 0)), w->size());
        if (!pencere->rect().contains(yer))
            s << QStringLiteral("%1 at %2,%3 %4x%5 is cut by the window of %6x%7")
                     .arg(w->objectName()).arg(yer.x()).arg(yer.y()).arg(yer.width()).arg(yer.height())
                     .arg(pencere->width()).arg(pencere->height());
        if (auto *l = qobject_cast<QLabel *>(w); l && !l->text().trimmed().isEmpty()) {
            const QRect oda = etiketOdasi(l);
            if (l->wordWrap()) {
                const QFontMetricsF m = olcekli(l->font(), f);
                const QRectF sarili =
                    m.boundingRect(QRectF(0, 0, oda.width() * f, 1e6), Qt::TextWordWrap | l->alignment(), l->text());
                if (sarili.height() > oda.height() * f + 0.5)
                    ekle(l, l->text(), QStringLiteral("wraps to %1 px in %2").arg(sarili.height() / f).arg(oda.height()));
            } else {
                ekle(l, l->text(), tekSatir(l->font(), l->text(), oda, l->alignment(), f));
            }
        } else if (auto *b = qobject_cast<QPushButton *>(w); b && !b->text().isEmpty()) {
            QStyleOptionButton o;
            o.initFrom(b);
            o.text = b->text();
            const QRect oda = b->style()->subElementRect(QStyle::SE_PushButtonContents, &o, b);
            QString metin = b->text();
            metin.remove(QLatin1Char('&'));
            ekle(b, metin, tekSatir(b->font(), metin, oda, Qt::AlignCenter, f));
        } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
            // An empty box is still to hold a whole line: "Ğy" stands for its tallest and deepest.
            const QString metin = e->text().isEmpty() ? QStringLiteral("Ğy") : e->text();
            QRect oda = e->contentsRect().marginsRemoved(e->textMargins() + QMargins(2, 1, 2, 1));
            if (e->text().isEmpty())
                oda.setWidth(1 << 20);
            ekle(e, metin, tekSatir(e->font(), metin, oda, Qt::AlignVCenter, f));
        }
    }
    if (auto *menu = qobject_cast<QMenu *>(pencere)) {
        for (QAction *a : menu->actions()) {
            if (a->isSeparator())
                continue;
            const QStringList parcalar = a->text().split(QLatin1Char('\t'));
            const QFontMetricsF m = olcekli(menu->font(), f);
            qreal genislik = 0;
            for (const QString &p : parcalar)
                genislik += m.horizontalAdvance(p);
            const QRect oda = menu->actionGeometry(a);
            if (genislik > oda.width() * f || m.height() > oda.height() * f)
                s << QStringLiteral("menu item \"%1\" needs %2x%3 in %4x%5")
                         .arg(a->text()).arg(genislik / f).arg(m.height() / f).arg(oda.width()).arg(oda.height());
        }
    }
    return s;
}

} // namespace

// Every caption, digit, button and picture of every window is whole, with the fonts at hand, at a
// scale factor of 1 and of 2.
class TestSigdirma : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_saat = std::make_unique<MockClock>(QTime(23, 58, 58)); }
    void cleanup()
    {
        m_pencere.reset();
        m_menu.reset();
        m_saat.reset();
    }
    void herSeyGorunur_data();
    void herSeyGorunur();

private:
    std::unique_ptr<MockClock> m_saat;
    std::unique_ptr<QWidget> m_pencere;
    std::unique_ptr<Menu> m_menu;
};

void TestSigdirma::herSeyGorunur_data()
{
    QTest::addColumn<QString>("pencere");
    for (const char *ad : {"Form1", "Krono", "yardim", "hakkinda", "Renk", "Zamanlayici", "Seffaflik", "Uyari", "Menu"})
        QTest::newRow(ad) << QString::fromLatin1(ad);
}

void TestSigdirma::herSeyGorunur()
{
    QFETCH(QString, pencere);
    QWidget *w = nullptr;
    if (pencere == QLatin1String("Menu")) {
        m_menu = std::make_unique<Menu>();
        w = m_menu->popupMenu();
        w->adjustSize();
    } else {
        const QHash<QString, std::function<QWidget *()>> yapicilar = {
            {QStringLiteral("Form1"), [] { return new Form1; }},
            {QStringLiteral("Krono"), [] { return new Krono; }},
            {QStringLiteral("yardim"), [] { return new yardim; }},
            {QStringLiteral("hakkinda"), [] { return new hakkinda; }},
            {QStringLiteral("Renk"), [] { return new Renk; }},
            {QStringLiteral("Zamanlayici"), [] { return new Zamanlayici; }},
            {QStringLiteral("Seffaflik"), [] { return new Seffaflik; }},
            {QStringLiteral("Uyari"),
             [] {
                 auto *u = new Uyari;
                 u->goster(QStringLiteral("Toplantı"), QStringLiteral("Çağrı: ŞİŞLİ'deki güneşli ofiste, "
                                                                       "öğleden sonra yığınla iş var."));
                 return u;
             }},
        };
        m_pencere.reset(yapicilar.value(pencere)());
        w = m_pencere.get();
    }
    w->ensurePolished();
    QStringList hepsi;
    for (int f : {1, 2}) {
        for (const QString &s : sorunlar(w, f))
            hepsi << QStringLiteral("at %1x: %2").arg(f).arg(s);
    }
    QVERIFY2(hepsi.isEmpty(), qPrintable(hepsi.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestSigdirma)
#include "tst_sigdirma.moc"
