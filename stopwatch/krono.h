#pragma once

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace platform {
class WindowTimer;
}

// The stopwatch: shows the time it has run as hours, minutes and seconds, measured on a clock that
// also runs while the program is stopped or the computer sleeps; a one-second timer only redraws.
// Its counters belong to the window, so every newly opened stopwatch starts from zero.
class Krono : public QWidget
{
    Q_OBJECT
public:
    explicit Krono(QWidget *parent = nullptr);
    ~Krono() override;

    static constexpr int Genislik = 158;
    static constexpr int Yukseklik = 86;

private:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Timer1_Timer();
    qint64 gecen() const;
    void goster(qint64 ms);

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QPushButton *Command3;
    QPushButton *Command2;
    QPushButton *Command1;
    platform::WindowTimer *Timer1;

    qint16 saat_sayac = 0;
    qint16 dakika_sayac = 0;
    qint16 saniye_sayac = 0;

    // Milliseconds run before the last "Durdur", and where the clock stood at "Başla" while running.
    qint64 m_birikmis = 0;
    std::optional<qint64> m_baslangic;
};
