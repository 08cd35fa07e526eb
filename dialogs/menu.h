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
class SaatOku;

// Owns the popup of the clock's picture, the announcer and the one window of each command.
// It is never shown; it lives until the program ends. What its windows report it passes on as its
// own signals, for the start-up object to act on the clock.
class Menu : public QObject
{
    Q_OBJECT
public:
    explicit Menu(QObject *parent = nullptr);
    ~Menu() override;

    // Opens the popup at the pointer and returns once an item is chosen or the popup is dismissed.
    void popup();
    QMenu *popupMenu() { return &m_popup; }
    // The announcer, made when first asked for.
    SaatOku *okuyucu();

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

Q_SIGNALS:
    // The colour or the transparency dialog stored its settings: the clock is to be rebuilt.
    void ayarOnaylandi();
    // The transparency slider moved: the opacity for the clock of this moment.
    void seffaflikDegisti(qint16 seffaflik);
    // The reminder dialog stored a reminder.
    void zamanlayiciOnaylandi();
    // A window opened from this menu has closed.
    void pencereKapandi();

private:
    template <typename T> void goster(QPointer<T> &pencere);
    void baglan(Renk *renk);
    void baglan(Seffaflik *seffaflik);
    void baglan(Zamanlayici *zamanlayici);
    void baglan(QWidget *) {}

    QMenu m_popup;
    QMenu m_ayarlar;
    QPointer<Seffaflik> m_seffaflik;
    QPointer<Renk> m_renk;
    QPointer<Krono> m_krono;
    QPointer<Zamanlayici> m_zamanlayici;
    QPointer<yardim> m_yardim;
    QPointer<hakkinda> m_hakkinda;
    QPointer<SaatOku> m_okuyucu;
};
