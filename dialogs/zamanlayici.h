#pragma once

#include <QIcon>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// Stores a reminder (hour, minute, title, message) as four plain texts.
class Zamanlayici : public QWidget
{
    Q_OBJECT
public:
    explicit Zamanlayici(QWidget *parent = nullptr);

    void Form_Load();

    static constexpr int Genislik = 266;
    static constexpr int Yukseklik = 119;
    // What the user may type into the hour and the minute box.
    static constexpr int SaatSiniri = 2;

Q_SIGNALS:
    // The reminder was stored: it counts from now on.
    void onaylandi();

private:
    void Command1_Click();

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLineEdit *Text1;
    QLineEdit *Text2;
    QLineEdit *Text3;
    QLineEdit *Text4;
    QPushButton *Command1;
};

// The reminder's own icon, which its dialog and its window share.
QIcon zamanlayiciSimgesi();
