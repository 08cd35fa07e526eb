#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QSlider;

// Sets the clock's opacity: each move of the slider is applied to the clock at once, "&Tamam" stores
// it and rebuilds the clock. The opacity being chosen is the slider's value, nowhere else.
class Seffaflik : public QWidget
{
    Q_OBJECT
public:
    explicit Seffaflik(QWidget *parent = nullptr);

    void Form_Load();

    static constexpr int Genislik = 238;
    static constexpr int Yukseklik = 72;

Q_SIGNALS:
    // Each move of the user: the opacity to show on the clock at once.
    void seffaflikDegisti(qint16 seffaflik);
    // "&Tamam" stored the opacity: the clock is to be rebuilt from the store before this closes.
    void onaylandi();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    static int saklanan();
    void Slider1_Change();
    void Command1_Click();

    QLabel *Label1;
    QSlider *Slider1;
    QPushButton *Command1;
};
