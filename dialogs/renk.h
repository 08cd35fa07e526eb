#pragma once

#include "platform/colorchooser.h"

#include <QWidget>

class QLabel;
class QPushButton;

// Chooses the clock's text and background colours; only "&Tamam" stores them and rebuilds the clock.
// The colours being chosen live in the faces of the two swatches, nowhere else.
class Renk : public QWidget
{
    Q_OBJECT
public:
    explicit Renk(QWidget *parent = nullptr);

    void Form_Load();

    static constexpr int Genislik = 224;
    static constexpr int Yukseklik = 96;

Q_SIGNALS:
    // "&Tamam" stored both colours: the clock is to be rebuilt from the store before this closes.
    void onaylandi();

private:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    QWidget *D_Arka;
    QLabel *Yazi;
    QLabel *Label1;
    QPushButton *Command1;
    QLabel *Label2;
    QPushButton *Command2;
    QPushButton *Command3;
    platform::ColorChooser color;
    platform::ColorChooser color2;
};
