#include "dialogs/seffaflik.h"

#include "dialogs/formyazisi.h"
#include "platform/errorbox.h"
#include "platform/toolwindow.h"
#include "platform/widgets.h"
#include "store/ayardeposu.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

Seffaflik::Seffaflik(QWidget *parent) : QWidget(parent)
{
    platform::makeToolWindow(this, platform::ToolWindowKind::Tool);
    setObjectName(QStringLiteral("Seffaflik"));
    setWindowTitle(QStringLiteral("Şeffaflık Ayarı"));
    setFixedSize(Genislik, Yukseklik);
    setFont(msSansSerif(8.25));

    Label1 = platform::makeLabel(this, "Label1", QStringLiteral("Şeffaflık :"), QRect(8, 8, 57, 17));
    Label1->setFont(msSansSerif(9.75));

    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setGeometry(64, 8, 169, 29);
    Slider1->setRange(0, 255);
    Slider1->setSingleStep(1);
    Slider1->setPageStep(5);
    Slider1->setTickPosition(QSlider::NoTicks);
    Slider1->setValue(0);
    Slider1->setFocusPolicy(Qt::StrongFocus);
    Slider1->setAccessibleName(QStringLiteral("Şeffaflık"));

    Command1 = new QPushButton(QStringLiteral("&Tamam"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(80, 40, 81, 25);
    platform::setDefaultButton(this, Command1);

    platform::clearCaptions({Label1}, {Slider1});
    platform::growToCaption(Command1);
    platform::growToHoldChildren(this);

    setTabOrder(Slider1, Command1);
    Slider1->setFocus();

    Form_Load();
    // Connected after loading: only the user's moves count, and each one (also while dragging) is
    // applied at once.
    connect(Slider1, &QSlider::valueChanged, this, &Seffaflik::Slider1_Change);
    connect(Command1, &QPushButton::clicked, this, &Seffaflik::Command1_Click);
}

int Seffaflik::saklanan()
{
    // The slider cannot show a value outside 0..255; such a text opens as the first-run default,
    // which is also what a clock built from it shows.
    const QString metin = AyarDeposu::ayar_oku(Anahtar::Seffaflik);
    return Sayi::oku(metin, 0, 255, Sayi::varsayilanSeffaflik);
}

void Seffaflik::Form_Load()
{
    Slider1->setValue(saklanan());
}

void Seffaflik::closeEvent(QCloseEvent *event)
{
    // A trial left on the clock would differ from the file; after "&Tamam" this is what was stored.
    Q_EMIT seffaflikDegisti(static_cast<qint16>(saklanan()));
    QWidget::closeEvent(event);
}

void Seffaflik::Slider1_Change()
{
    Q_EMIT seffaflikDegisti(static_cast<qint16>(Slider1->value()));
}

void Seffaflik::Command1_Click()
{
    const AyarDeposu::Sonuc sonuc =
        AyarDeposu::ayar_yaz(Anahtar::Seffaflik, QString::number(Slider1->value()));
    if (!sonuc.basarili()) {
        // Nothing changed on disk, so the clock is not rebuilt: it keeps the opacity of the slider,
        // and the dialog stays open for a retry.
        platform::ErrorBox::show(this, sonuc.mesaj());
        return;
    }
    Q_EMIT onaylandi();
    close();
}
