#include "dialogs/zamanlayici.h"

#include "dialogs/formyazisi.h"
#include "platform/errorbox.h"
#include "platform/toolwindow.h"
#include "platform/widgets.h"
#include "store/ayardeposu.h"

#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace {

// A caption in the theme's highlight text; an opaque one also fills its box with the highlight.
QLabel *etiket(QWidget *parent, const char *ad, const QString &metin, QRect yer, bool opak)
{
    QLabel *l = platform::makeLabel(parent, ad, metin, yer);
    platform::setPaletteColor(l, QPalette::WindowText, l->palette().color(QPalette::HighlightedText));
    platform::setPaletteColor(l, QPalette::Window, l->palette().color(QPalette::Highlight));
    l->setAutoFillBackground(opak);
    return l;
}

QLineEdit *kutu(QWidget *parent, const char *ad, QRect yer)
{
    auto *t = new QLineEdit(parent);
    t->setObjectName(QLatin1String(ad));
    t->setGeometry(yer);
    return t;
}

// A box whose limit binds only what is typed: QLineEdit would cut a longer stored text to its limit,
// so the limit never falls below the text the box holds, and it shrinks back with each edit.
void sinirliMetinVer(QLineEdit *t, const QString &metin)
{
    t->setMaxLength(qMax<int>(Zamanlayici::SaatSiniri, metin.size()));
    t->setText(metin);
}

void siniriDaralt(QLineEdit *t)
{
    t->setMaxLength(qMax<int>(Zamanlayici::SaatSiniri, t->text().size()));
}

} // namespace

QIcon zamanlayiciSimgesi()
{
    // Read by Qt's own PNG reader: by name, Qt would load every image plugin to ask.
    QIcon simge(platform::pngPixmap(QStringLiteral(":/velmora/zamanlayici.png")));
    simge.addPixmap(platform::pngPixmap(QStringLiteral(":/velmora/zamanlayici-16.png")));
    return simge;
}

Zamanlayici::Zamanlayici(QWidget *parent) : QWidget(parent)
{
    platform::makeToolWindow(this, platform::ToolWindowKind::Dialog, zamanlayiciSimgesi());
    setObjectName(QStringLiteral("Zamanlayici"));
    setWindowTitle(QStringLiteral("Zamanlayıcı"));
    setFixedSize(Genislik, Yukseklik);
    setFont(msSansSerif(8.25));
    setAutoFillBackground(true);
    platform::setPaletteColor(this, QPalette::Window, palette().color(QPalette::Highlight));

    // The captions are wider than the room left of the boxes; the boxes, made later, lie over them.
    Label1 = etiket(this, "Label1", QStringLiteral("Uyarı Başlığı :"), QRect(8, 8, 161, 17), false);
    Label2 = etiket(this, "Label2", QStringLiteral("Uyarı Metni :"), QRect(8, 32, 161, 17), true);
    Label3 = etiket(this, "Label3", QStringLiteral("Uyarı Zamanı :"), QRect(8, 56, 161, 17), true);
    Text1 = kutu(this, "Text1", QRect(80, 8, 177, 19));
    Text2 = kutu(this, "Text2", QRect(80, 32, 177, 19));
    // No limit for the title and the text: QLineEdit's default of 32767 would cut a longer one.
    Text1->setMaxLength(std::numeric_limits<int>::max());
    Text2->setMaxLength(std::numeric_limits<int>::max());
    Text3 = kutu(this, "Text3", QRect(80, 56, 25, 19));
    Text4 = kutu(this, "Text4", QRect(112, 56, 25, 19));
    Text3->setText(QStringLiteral("00"));
    Text4->setText(QStringLiteral("00"));
    Text3->setMaxLength(SaatSiniri);
    Text4->setMaxLength(SaatSiniri);
    // The captions lie under the boxes, so the boxes carry the names.
    Text1->setAccessibleName(QStringLiteral("Başlık"));
    Text2->setAccessibleName(QStringLiteral("Metin"));
    Text3->setAccessibleName(QStringLiteral("Saat"));
    Text4->setAccessibleName(QStringLiteral("Dakika"));

    Command1 = new QPushButton(QStringLiteral("&Tamam"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(88, 88, 89, 25);
    platform::setDefaultButton(this, Command1);

    // With a wider face "Uyarı Zamanı :" would run under the hour box.
    platform::clearCaptions({Label1, Label2, Label3}, {Text1, Text2, Text3, Text4});
    platform::growToCaption(Command1);
    platform::growToHoldChildren(this);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, Command1);
    Text1->setFocus();

    connect(Text3, &QLineEdit::textEdited, this, [this] { siniriDaralt(Text3); });
    connect(Text4, &QLineEdit::textEdited, this, [this] { siniriDaralt(Text4); });
    connect(Command1, &QPushButton::clicked, this, &Zamanlayici::Command1_Click);

    Form_Load();
}

void Zamanlayici::Form_Load()
{
    sinirliMetinVer(Text3, AyarDeposu::ayar_oku(Anahtar::Zaman1));
    sinirliMetinVer(Text4, AyarDeposu::ayar_oku(Anahtar::Zaman2));
    Text1->setText(AyarDeposu::ayar_oku(Anahtar::Baslik));
    Text2->setText(AyarDeposu::ayar_oku(Anahtar::Metin));
}

void Zamanlayici::Command1_Click()
{
    // The four texts are one reminder: all of them are stored or none.
    const AyarDeposu::Sonuc sonuc = AyarDeposu::ayarlari_yaz({{Anahtar::Zaman1, Text3->text()},
                                                              {Anahtar::Zaman2, Text4->text()},
                                                              {Anahtar::Baslik, Text1->text()},
                                                              {Anahtar::Metin, Text2->text()}});
    if (!sonuc.basarili()) {
        platform::ErrorBox::show(this, sonuc.mesaj());
        return;
    }
    Q_EMIT onaylandi();
    close();
}
