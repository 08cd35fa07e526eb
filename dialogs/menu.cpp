#include "dialogs/menu.h"

#include "about/hakkinda.h"
#include "about/yardim.h"
#include "announce/saatoku.h"
#include "dialogs/renk.h"
#include "dialogs/seffaflik.h"
#include "dialogs/zamanlayici.h"
#include "sound/sound.h"
#include "platform/toolwindow.h"
#include "platform/windowmanager.h"
#include "stopwatch/krono.h"

#include <QCoreApplication>

Menu::Menu(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("Menu"));
    m_popup.setObjectName(QStringLiteral("Menu"));
    m_popup.setTitle(QStringLiteral("Popup Menu"));
    m_ayarlar.setObjectName(QStringLiteral("ayarlar"));
    m_ayarlar.setTitle(QStringLiteral("Ayarlar"));

    // The shortcut labels are only text after a tab: no shortcut is registered, so the keys do nothing.
    auto ekle = [this](QMenu &menu, const char *ad, const QString &baslik, void (Menu::*isleyici)()) {
        QAction *a = menu.addAction(baslik);
        a->setObjectName(QLatin1String(ad));
        connect(a, &QAction::triggered, this, isleyici);
    };
    ekle(m_popup, "oku", QStringLiteral("Saati Oku...\tF2"), &Menu::oku_Click);
    m_popup.addSeparator()->setObjectName(QStringLiteral("s1"));
    m_popup.addMenu(&m_ayarlar);
    ekle(m_ayarlar, "seffaf", QStringLiteral("Şeffaflık Ayarı"), &Menu::seffaf_Click);
    ekle(m_ayarlar, "color", QStringLiteral("Renk Ayarı"), &Menu::color_Click);
    ekle(m_popup, "kronometre", QStringLiteral("Kronometre\tF4"), &Menu::kronometre_Click);
    ekle(m_popup, "zaman", QStringLiteral("Zamanlayıcı\tF5"), &Menu::zaman_Click);
    m_popup.addSeparator()->setObjectName(QStringLiteral("s2"));
    ekle(m_popup, "help", QStringLiteral("Yardım\tF1"), &Menu::help_Click);
    ekle(m_popup, "hakkinda", QStringLiteral("Hakkında\tF6"), &Menu::hakkinda_Click);
    ekle(m_popup, "kapat", QStringLiteral("Çıkış\tF7"), &Menu::kapat_Click);
    // "Saati Oku..." may come next: the sound output readies its device meanwhile, so the first
    // announcement is as punctual as the later ones.
    connect(&m_popup, &QMenu::aboutToShow, this, [] { platform::SoundOutput::instance().prepare(); });
}

Menu::~Menu()
{
    // The program is ending: the windows go without a close event and store nothing.
    for (QObject *pencere : std::initializer_list<QObject *>{m_seffaflik, m_renk, m_krono, m_zamanlayici,
                                                             m_yardim, m_hakkinda}) {
        if (pencere) {
            disconnect(pencere, nullptr, this, nullptr);
            delete pencere;
        }
    }
}

Seffaflik *Menu::seffaflikPenceresi() const { return m_seffaflik; }
Renk *Menu::renkPenceresi() const { return m_renk; }
Krono *Menu::kronoPenceresi() const { return m_krono; }
Zamanlayici *Menu::zamanlayiciPenceresi() const { return m_zamanlayici; }
yardim *Menu::yardimPenceresi() const { return m_yardim; }
hakkinda *Menu::hakkindaPenceresi() const { return m_hakkinda; }

SaatOku *Menu::okuyucu()
{
    if (!m_okuyucu)
        m_okuyucu = new SaatOku(this);
    return m_okuyucu;
}

void Menu::popup()
{
    platform::popupAtPointer(&m_popup);
}

template <typename T> void Menu::goster(QPointer<T> &pencere)
{
    if (!pencere) {
        pencere = new T;
        pencere->setAttribute(Qt::WA_DeleteOnClose);
        baglan(pencere.data());
        connect(pencere.data(), &QObject::destroyed, this, &Menu::pencereKapandi);
    }
    platform::showOrRaise(pencere);
}

void Menu::baglan(Renk *renk)
{
    connect(renk, &Renk::onaylandi, this, &Menu::ayarOnaylandi);
}

void Menu::baglan(Seffaflik *seffaflik)
{
    connect(seffaflik, &Seffaflik::onaylandi, this, &Menu::ayarOnaylandi);
    connect(seffaflik, &Seffaflik::seffaflikDegisti, this, &Menu::seffaflikDegisti);
}

void Menu::baglan(Zamanlayici *zamanlayici)
{
    connect(zamanlayici, &Zamanlayici::onaylandi, this, &Menu::zamanlayiciOnaylandi);
}

void Menu::oku_Click()
{
    okuyucu()->saat_oku();
}

void Menu::seffaf_Click()
{
    goster(m_seffaflik);
}

void Menu::color_Click()
{
    goster(m_renk);
}

void Menu::kronometre_Click()
{
    goster(m_krono);
}

void Menu::zaman_Click()
{
    goster(m_zamanlayici);
}

void Menu::help_Click()
{
    goster(m_yardim);
}

void Menu::hakkinda_Click()
{
    goster(m_hakkinda);
}

void Menu::kapat_Click()
{
    // Ends at once: no close events, nothing written, a running announcement cut off.
    QCoreApplication::exit(0);
}
