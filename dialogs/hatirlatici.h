#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

namespace platform {
class WindowTimer;
}

// Watches the clock for the stored reminder and says when its minute has come, once a day. It sleeps
// until the minute is due, but never longer than a minute, so that a wall clock set anew or a machine
// woken from sleep is noticed soon.
class Hatirlatici : public QObject
{
    Q_OBJECT
public:
    explicit Hatirlatici(QObject *parent = nullptr);

    // Reads the reminder from the store and watches for it from this moment on.
    void yenile();

    // The stored hour and minute as a time of day; invalid when they name none.
    static QTime vakit(const QString &saat, const QString &dakika);

    // A minute missed while the machine slept is still raised when it wakes this soon after it.
    static constexpr qint64 GecikmeSiniriMs = 15 * 60 * 1000;
    static constexpr int EnUzunUykuMs = 60 * 1000;

Q_SIGNALS:
    void vakitGeldi(const QString &baslik, const QString &metin);

private:
    void bak();

    platform::WindowTimer *m_zamanlayici;
    QTime m_vakit; // invalid: nothing to raise
    QString m_baslik;
    QString m_metin;
    QDateTime m_sonBakis; // a due moment after this one has not been seen yet
    QDate m_sonGun;       // the day whose reminder was raised last
};
