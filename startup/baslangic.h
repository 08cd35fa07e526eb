#pragma once

#include <QObject>
#include <QPointer>

class Form1;

// The start-up object: makes sure the store holds every key, brings up the clock and is never shown.
// It lives as long as the process, so that the dialogs can rebuild the clock through ayarla().
class Baslangic : public QObject
{
    Q_OBJECT
public:
    Baslangic();
    ~Baslangic() override;

    static Baslangic *instance();

    void Form_Load();
    void kontrol();
    void standart();
    void ayarla();
    void dil();

    // The clock window of this moment, or nullptr while it is being rebuilt.
    Form1 *form1() const;
    // Unloads the clock window so that the next ayarla() builds a fresh one.
    void form1Kapat();
    // A confirmed dialog: the old clock unloaded, a new one built from the store just written.
    void form1YenidenKur();

private:
    QPointer<Form1> m_form1;
    bool m_kapali = false;
};
