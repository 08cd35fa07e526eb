#include "dialogs/renk.h"

#include "dialogs/formyazisi.h"
#include "platform/accessibility.h"
#include "platform/errorbox.h"
#include "platform/toolwindow.h"
#include "platform/widgets.h"
#include "store/ayardeposu.h"

#include <QLabel>
#include <QPushButton>

namespace {

// A graphical button: its face is a plain colour, kept as the palette's button colour (which the
// style sheet, once applied, sets to the same colour).
void yuzRengiVer(QPushButton *dugme, const QColor &renk)
{
    platform::setPaletteColor(dugme, QPalette::Button, renk);
    dugme->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 2px outset #c0c0c0; }"
                                        "QPushButton:pressed { border-style: inset; }"
                                        "QPushButton:focus { border: 2px dotted palette(highlight); }")
                             .arg(renk.name()));
}

QColor yuzRengi(const QPushButton *dugme)
{
    return dugme->palette().color(QPalette::Button);
}

void yaziRengiVer(QLabel *l, const QColor &renk)
{
    platform::setPaletteColor(l, QPalette::WindowText, renk);
}

void arkaRengiVer(QWidget *w, const QColor &renk)
{
    platform::setPaletteColor(w, QPalette::Window, renk);
}

} // namespace

Renk::Renk(QWidget *parent) : QWidget(parent)
{
    platform::makeToolWindow(this, platform::ToolWindowKind::Tool);
    setObjectName(QStringLiteral("Renk"));
    setWindowTitle(QStringLiteral("Renk Ayarı"));
    setFixedSize(Genislik, Yukseklik);
    setFont(msSansSerif(8.25));

    D_Arka = new QWidget(this);
    D_Arka->setObjectName(QStringLiteral("D_Arka"));
    D_Arka->setGeometry(8, 16, 73, 33);
    D_Arka->setAutoFillBackground(true);
    D_Arka->setFocusPolicy(Qt::StrongFocus);
    D_Arka->setAccessibleName(QStringLiteral("Önizleme"));
    arkaRengiVer(D_Arka, Sayi::renk(Sayi::varsayilanArka));

    Yazi = platform::makeLabel(D_Arka, "Yazi", QStringLiteral("00:00"), QRect(0, 0, 65, 33));
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(18);
    Yazi->setFont(arial);
    yaziRengiVer(Yazi, Sayi::renk(Sayi::varsayilanYaziRengi));

    Label1 = platform::makeLabel(this, "Label1", QStringLiteral("Yazı Rengi :"), QRect(104, 8, 97, 17));
    Command1 = new QPushButton(this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(192, 8, 25, 17);
    yuzRengiVer(Command1, Sayi::renk(Sayi::varsayilanYaziRengi));
    Command1->setAccessibleName(QStringLiteral("Yazı rengi"));

    Label2 = platform::makeLabel(this, "Label2", QStringLiteral("Arka Plan Rengi:"), QRect(104, 32, 97, 17));
    Command2 = new QPushButton(this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(192, 32, 25, 17);
    yuzRengiVer(Command2, Sayi::renk(Sayi::varsayilanArka));
    Command2->setAccessibleName(QStringLiteral("Arka plan rengi"));

    Command3 = new QPushButton(QStringLiteral("&Tamam"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(72, 64, 73, 25);
    platform::setDefaultButton(this, Command3);

    // The swatches are drawn over the wide captions.
    Command1->raise();
    Command2->raise();

    // With a face wider than Arial the preview's text would lose its last digit.
    Yazi->resize(qMax(Yazi->width(), platform::textWidth(arial, Yazi->text())), Yazi->height());
    platform::growToHoldChildren(D_Arka);
    platform::clearCaptions({Label1, Label2}, {Command1, Command2});
    platform::growToCaption(Command3);
    platform::growToHoldChildren(this);

    setTabOrder(D_Arka, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    D_Arka->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Renk::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Renk::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Renk::Command3_Click);

    Form_Load();
}

void Renk::Form_Load()
{
    // An unreadable stored colour opens as the first-run default.
    yuzRengiVer(Command1, Sayi::renk(Sayi::renkOku(Anahtar::YaziRengi, Sayi::varsayilanYaziRengi)));
    yaziRengiVer(Yazi, yuzRengi(Command1));
    yuzRengiVer(Command2, Sayi::renk(Sayi::renkOku(Anahtar::Arka, Sayi::varsayilanArka)));
    arkaRengiVer(D_Arka, yuzRengi(Command2));
}

void Renk::Command1_Click()
{
    // A cancelled chooser leaves the colour as it was: its own current colour is black at first,
    // which is not the colour the swatch shows.
    if (!color.showColor(this))
        return;
    yuzRengiVer(Command1, color.color());
    yaziRengiVer(Yazi, color.color());
}

void Renk::Command2_Click()
{
    if (!color2.showColor(this))
        return;
    yuzRengiVer(Command2, color2.color());
    arkaRengiVer(D_Arka, color2.color());
}

void Renk::Command3_Click()
{
    const AyarDeposu::Sonuc sonuc =
        AyarDeposu::ayarlari_yaz({{Anahtar::Arka, QString::number(Sayi::bgr(yuzRengi(Command2)))},
                                  {Anahtar::YaziRengi, QString::number(Sayi::bgr(yuzRengi(Command1)))}});
    if (!sonuc.basarili()) {
        // Nothing changed on disk, so the clock stays as it is; the dialog keeps the choice for a retry.
        platform::ErrorBox::show(this, sonuc.mesaj());
        return;
    }
    Q_EMIT onaylandi();
    close();
}
