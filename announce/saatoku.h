#pragma once

#include <QObject>
#include <QTime>

namespace platform {
class WindowTimer;
}

// Speaks the time as a chain of clips about a second apart: the opening word, then the hour and
// the minute as tens and units. Four one-shot timers are its whole state.
class SaatOku : public QObject
{
    Q_OBJECT
public:
    explicit SaatOku(QObject *parent = nullptr);

    // Starts an announcement and returns at once. A start while one runs is neither refused nor
    // queued: it re-arms the timers, and a pending units tick keeps its schedule.
    void saat_oku();

private:
    void saat1_Timer();
    void saat2_Timer();
    void dakika1_Timer();
    void dakika2_Timer();
    void cal(const QString &goreliYol);

    platform::WindowTimer *saat1;
    platform::WindowTimer *saat2;
    platform::WindowTimer *dakika1;
    platform::WindowTimer *dakika2;
    QTime okunan; // the time the latest start read
    // The pending saat2 was armed by this announcement's own hour tick, not by an earlier start's.
    bool m_saatBirlerBu = false;
    // The minute's tens tick came while this announcement's hour was still to be spoken.
    bool m_dakikaBekliyor = false;
};
