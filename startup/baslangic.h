#pragma once

#include <QObject>
#include <QPointer>

class Form1;
class Hatirlatici;
class Menu;
class Uyari;

// The start-up object: makes sure the store holds every key, brings up the clock and is never shown.
// It lives as long as the process and is the one place that connects the windows: the clock asks it
// for the menu, and what the menu's windows report (a confirmed dialog, the live opacity, a window
// closed) comes back here to act on the clock. Every connection is direct: each step runs to its
// end on the one thread before the next.
class Baslangic : public QObject
{
    Q_OBJECT
public:
    Baslangic();
    ~Baslangic() override;

    void Form_Load();
    void kontrol();
    void standart();
    void ayarla();
    void dil();

    // The clock window of this moment, or nullptr while it is being rebuilt.
    Form1 *form1() const;
    // The owner of the popup menu and of the windows it opens; made when first asked for.
    Menu *menu();
    // Unloads the clock window so that the next ayarla() builds a fresh one.
    void form1Kapat();
    // A confirmed dialog: the old clock unloaded, a new one built from the store just written.
    void form1YenidenKur();
    // The clock comes back to its corner, as when it is activated: a window of the program closed,
    // or the program was started again on this display.
    void saatiEtkinlestir();
    // The reminder's minute has come: its window, and the time spoken as "Saati Oku..." speaks it.
    void uyariGoster(const QString &baslik, const QString &metin);
    // The reminder window of this moment, or nullptr.
    Uyari *uyari() const;
    // Speaks the time as "Saati Oku..." does, asked from outside the menu: the clock and the focus
    // stay where they are.
    void saatiOku();

private:
    void menuAc();
    void seffaflikUygula(qint16 seffaflik);

    QPointer<Form1> m_form1;
    QPointer<Menu> m_menu;
    Hatirlatici *m_hatirlatici = nullptr;
    QPointer<Uyari> m_uyari;
};
