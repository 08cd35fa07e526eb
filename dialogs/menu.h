#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>

class Seffaflik;
class Renk;
class Krono;
class Zamanlayici;
class yardim;
class hakkinda;

// Owns the popup of the clock's picture and the one window of each command.
// It is never shown; it lives until the program ends.
class Menu : public QObject
{
    Q_OBJECT
public:
    ~Menu() override;
    static Menu &instance();

    // Opens the popup at the pointer and returns once an item is chosen or the popup is dismissed.
    void popup(QWidget *form);
    QMenu *popupMenu() { return &m_popup; }

    void oku_Click();
    void seffaf_Click();
    void color_Click();
    void kronometre_Click();
    void zaman_Click();
    void help_Click();
    void hakkinda_Click();
    void kapat_Click();

    // The command windows open at this moment, or nullptr.
    Seffaflik *seffaflikPenceresi() const;
    Renk *renkPenceresi() const;
    Krono *kronoPenceresi() const;
    Zamanlayici *zamanlayiciPenceresi() const;
    yardim *yardimPenceresi() const;
    hakkinda *hakkindaPenceresi() const;

private:
    explicit Menu(QObject *parent);
    template <typename T> void goster(QPointer<T> &pencere);
    void pencereKapandi();

    QMenu m_popup;
    QMenu m_ayarlar;
    QPointer<Seffaflik> m_seffaflik;
    QPointer<Renk> m_renk;
    QPointer<Krono> m_krono;
    QPointer<Zamanlayici> m_zamanlayici;
    QPointer<yardim> m_yardim;
    QPointer<hakkinda> m_hakkinda;
};
