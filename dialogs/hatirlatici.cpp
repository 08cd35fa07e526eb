#include "dialogs/hatirlatici.h"

#include "platform/clock.h"
#include "platform/windowtimer.h"
#include "store/ayardeposu.h"

#include <algorithm>

Hatirlatici::Hatirlatici(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("Hatirlatici"));
    m_zamanlayici = new platform::WindowTimer(this, 0);
    connect(m_zamanlayici, &platform::WindowTimer::timeout, this, &Hatirlatici::bak);
}

QTime Hatirlatici::vakit(const QString &saat, const QString &dakika)
{
    // The boxes take any two characters: only one or two digits name an hour or a minute.
    const auto rakamlar = [](const QString &t) {
        return (t.size() == 1 || t.size() == 2)
               && std::all_of(t.cbegin(), t.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (!rakamlar(saat) || !rakamlar(dakika))
        return {};
    const int s = saat.toInt();
    const int d = dakika.toInt();
    if (s > 23 || d > 59)
        return {};
    return QTime(s, d);
}

void Hatirlatici::yenile()
{
    m_baslik = AyarDeposu::ayar_oku(Anahtar::Baslik);
    m_metin = AyarDeposu::ayar_oku(Anahtar::Metin);
    // Nothing to say, nothing to raise: so the first run's "00", "00" stays silent.
    m_vakit = m_baslik.isEmpty() && m_metin.isEmpty()
                  ? QTime()
                  : vakit(AyarDeposu::ayar_oku(Anahtar::Zaman1), AyarDeposu::ayar_oku(Anahtar::Zaman2));
    // A minute already past when the reminder is set waits for the next day.
    m_sonBakis = platform::Clock::instance().currentDateTime();
    m_sonGun = QDate();
    bak();
}

void Hatirlatici::bak()
{
    const QDateTime simdi = platform::Clock::instance().currentDateTime();
    const QDateTime onceki = m_sonBakis;
    m_sonBakis = simdi;
    if (!m_vakit.isValid()) {
        m_zamanlayici->setInterval(0);
        return;
    }
    QDateTime son(simdi.date(), m_vakit);
    if (son > simdi)
        son = son.addDays(-1);
    QDateTime sonraki(simdi.date(), m_vakit);
    if (sonraki <= simdi)
        sonraki = sonraki.addDays(1);
    m_zamanlayici->setInterval(int(qBound(qint64(1), simdi.msecsTo(sonraki), qint64(EnUzunUykuMs))));

    // Its moment passed since the last look (a clock set back passes it again: once a day all the
    // same), and not so long ago that it would only come as a surprise.
    if (son > onceki && son.msecsTo(simdi) <= GecikmeSiniriMs && son.date() != m_sonGun) {
        m_sonGun = son.date();
        Q_EMIT vakitGeldi(m_baslik, m_metin);
    }
}
