#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The reminder raised at its minute: its title on the title bar, its text, and "&Tamam" to close it.
// It comes above the other windows without taking the keyboard from what the user is typing in.
class Uyari : public QWidget
{
    Q_OBJECT
public:
    explicit Uyari(QWidget *parent = nullptr);

    // Shows the reminder, or the newer one over a reminder still open.
    void goster(const QString &baslik, const QString &metin);

    static constexpr int Genislik = 266;
    // A longer text is cut here rather than making a window taller than a screen.
    static constexpr int EnCokSatir = 12;

private:
    void Command1_Click();

    QLabel *Label1;
    QPushButton *Command1;
};
