#pragma once

#include <QWidget>

#include <optional>

class QLabel;

namespace platform {
class WindowTimer;
}

// The clock: a borderless strip that shows HH MM SS above all windows at the screen's corner.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    void guncelle();
    void Form_Load();
    void Form_Activate();

    void yaziRengiUygula(const QColor &renk);
    // Closes the window for a rebuild; any other close ends the program.
    void Unload();

    static constexpr int Genislik = 133;
    static constexpr int Yukseklik = 34;
    static constexpr int KoseBoslugu = 33;

Q_SIGNALS:
    // A press on the picture: the popup menu is asked for; it returns once the menu has closed.
    void menuIstendi();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Image1_MouseDown();
    void Form_MouseMove(Qt::MouseButtons dugmeler, QPoint ekranKonumu);
    void saniyeyeHizala();
    // The blink's next period, between enAz and enCok ms: it ends just after a seconds tick or the
    // middle between two.
    int yanipSonmeSuresi(int enAz, int enCok) const;

    QLabel *saat;
    QLabel *Label1;
    QLabel *dakika;
    QLabel *Label2;
    QLabel *saniye;
    QLabel *Image1;
    platform::WindowTimer *Timer1;
    platform::WindowTimer *Timer2;
    platform::WindowTimer *Timer3;

    // Where the left button went down on the clock, and whether this press has handed over its move.
    std::optional<QPoint> m_basmaNoktasi;
    bool m_tasimaIstendi = false;
    bool m_yoneticiTasiyor = false;
    bool m_ilkGosterim = true;
    bool m_bosaltiliyor = false;
};
