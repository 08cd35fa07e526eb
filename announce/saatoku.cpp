#include "announce/saatoku.h"

#include "announce/klipsecimi.h"
#include "platform/clock.h"
#include "platform/programfolder.h"
#include "sound/sound.h"
#include "platform/windowtimer.h"

using KlipSecimi::Konum;

SaatOku::SaatOku(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("SaatOku"));
    auto zamanlayici = [this](const char *ad, void (SaatOku::*isleyici)()) {
        auto *t = new platform::WindowTimer(this, 0);
        t->setObjectName(QLatin1String(ad));
        connect(t, &platform::WindowTimer::timeout, this, isleyici);
        return t;
    };
    saat1 = zamanlayici("saat1", &SaatOku::saat1_Timer);
    saat2 = zamanlayici("saat2", &SaatOku::saat2_Timer);
    dakika1 = zamanlayici("dakika1", &SaatOku::dakika1_Timer);
    dakika2 = zamanlayici("dakika2", &SaatOku::dakika2_Timer);
}

void SaatOku::saat_oku()
{
    // The time is read once: an announcement that spans the turn of a minute or an hour speaks the
    // time it was asked at, never a mix of two. A tick still pending from an earlier start speaks
    // the time of the latest one.
    okunan = platform::Clock::instance().currentTime();
    m_saatBirlerBu = false;
    m_dakikaBekliyor = false;
    saat1->setInterval(1000);
    dakika1->setInterval(3000);
    // The later clips are placed on this clip's seconds by the sound output.
    platform::SoundOutput::instance().playOpening(platform::programFolder() + KlipSecimi::acilis);
}

void SaatOku::cal(const QString &goreliYol)
{
    // The program folder is asked for afresh for every clip.
    platform::SoundOutput::instance().play(platform::programFolder() + goreliYol);
}

void SaatOku::saat1_Timer()
{
    const int saat = okunan.hour();
    if (const auto k = KlipSecimi::klip(Konum::SaatOnlar, saat))
        cal(*k);
    saat1->setInterval(0);
    saat2->setInterval(1000);
    m_saatBirlerBu = true;
}

void SaatOku::saat2_Timer()
{
    const int saat = okunan.hour();
    if (const auto k = KlipSecimi::klip(Konum::SaatBirler, saat))
        cal(*k);
    saat2->setInterval(0);
    // After a stall the hour's tick comes late and its units tick with it: the minute follows a
    // second after the hour's units, not at its own time, so no clip cuts another short or comes
    // before it. On time this is the moment the minute was due anyway.
    if (m_saatBirlerBu && (m_dakikaBekliyor || dakika1->interval() > 0)) {
        m_dakikaBekliyor = false;
        dakika1->setInterval(1000);
    }
    m_saatBirlerBu = false;
}

void SaatOku::dakika1_Timer()
{
    // Overdue together with the hour's ticks: the minute waits for the hour to be spoken.
    if (saat1->interval() > 0 || (m_saatBirlerBu && saat2->interval() > 0)) {
        dakika1->setInterval(0);
        m_dakikaBekliyor = true;
        return;
    }
    const int dakika = okunan.minute();
    if (const auto k = KlipSecimi::klip(Konum::DakikaOnlar, dakika))
        cal(*k);
    dakika1->setInterval(0);
    dakika2->setInterval(1000);
}

void SaatOku::dakika2_Timer()
{
    const int dakika = okunan.minute();
    if (const auto k = KlipSecimi::klip(Konum::DakikaBirler, dakika))
        cal(*k);
    dakika2->setInterval(0);
}
