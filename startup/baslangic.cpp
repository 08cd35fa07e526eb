#include "startup/baslangic.h"

#include "clock/form1.h"
#include "clock/module1.h"
#include "dialogs/hatirlatici.h"
#include "dialogs/menu.h"
#include "dialogs/uyari.h"
#include "platform/accessibility.h"
#include "store/ayardeposu.h"

Baslangic::Baslangic() = default;

Baslangic::~Baslangic()
{
    delete m_uyari.data();
    delete m_form1.data();
}

void Baslangic::Form_Load()
{
    kontrol();
    // After kontrol: a first run has written the keys it reads.
    m_hatirlatici = new Hatirlatici(this);
    connect(m_hatirlatici, &Hatirlatici::vakitGeldi, this, &Baslangic::uyariGoster);
    m_hatirlatici->yenile();
}

void Baslangic::kontrol()
{
    // The probe names the section with a lower-case v; the store finds it all the same.
    if (AyarDeposu::ayar_oku(Anahtar::Ayar, QStringLiteral("Velmora v.2.0")) == QLatin1String("1"))
        ayarla();
    else
        standart();
}

void Baslangic::standart()
{
    // In one write, the marker first: a start cut off on the way leaves none of them. A store that
    // cannot be written says so once.
    QList<std::pair<QString, QString>> degerler;
    for (const Anahtar::IlkDeger &d : Anahtar::ilkDegerler)
        degerler.append({d.anahtar, d.deger});
    AyarDeposu::ayarlari_yaz(degerler);
    ayarla();
    dil();
}

void Baslangic::ayarla()
{
    if (!m_form1) {
        m_form1 = new Form1;
        connect(m_form1, &Form1::menuIstendi, this, &Baslangic::menuAc);
        m_form1->Form_Load();
    }
    m_form1->show();

    const QColor yazi = Sayi::renk(Sayi::renkOku(Anahtar::YaziRengi, Sayi::varsayilanYaziRengi));
    m_form1->yaziRengiUygula(yazi);

    dil();
    // Closing the start-up object leaves nothing to do: it was never shown and stays reachable.
}

void Baslangic::dil()
{
    // The interface texts are fixed Turkish; the language keys are stored but read by nothing.
}

Form1 *Baslangic::form1() const
{
    return m_form1.data();
}

Menu *Baslangic::menu()
{
    if (!m_menu) {
        m_menu = new Menu(this);
        connect(m_menu, &Menu::ayarOnaylandi, this, &Baslangic::form1YenidenKur);
        connect(m_menu, &Menu::seffaflikDegisti, this, &Baslangic::seffaflikUygula);
        connect(m_menu, &Menu::pencereKapandi, this, &Baslangic::saatiEtkinlestir);
        connect(m_menu, &Menu::zamanlayiciOnaylandi, this, [this] {
            if (m_hatirlatici)
                m_hatirlatici->yenile();
        });
    }
    return m_menu;
}

void Baslangic::menuAc()
{
    // A screen reader finds the popup inside the clock it opens from.
    if (m_form1)
        platform::setAccessibleOwner(menu()->popupMenu(), m_form1);
    menu()->popup();
}

void Baslangic::seffaflikUygula(qint16 seffaflik)
{
    // The clock of this moment: after a rebuild, the new one.
    Module1::seffaflik_uygula(m_form1.data(), seffaflik);
}

void Baslangic::saatiEtkinlestir()
{
    // The clock becomes the program's active window again once a window of the program closes.
    if (m_form1)
        m_form1->Form_Activate();
}

void Baslangic::uyariGoster(const QString &baslik, const QString &metin)
{
    if (!m_uyari) {
        m_uyari = new Uyari;
        m_uyari->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_uyari->goster(baslik, metin);
    saatiOku();
}

Uyari *Baslangic::uyari() const
{
    return m_uyari.data();
}

void Baslangic::saatiOku()
{
    menu()->oku_Click();
}

void Baslangic::form1YenidenKur()
{
    form1Kapat();
    ayarla();
}

void Baslangic::form1Kapat()
{
    Form1 *eski = m_form1.data();
    m_form1 = nullptr;
    if (eski)
        eski->Unload();
}
