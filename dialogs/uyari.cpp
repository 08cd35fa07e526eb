#include "dialogs/uyari.h"

#include "dialogs/formyazisi.h"
#include "dialogs/zamanlayici.h"
#include "platform/toolwindow.h"

#include <QLabel>
#include <QPushButton>

namespace {
constexpr int Kenar = 8;
constexpr int DugmeGenislik = 89;
constexpr int DugmeYukseklik = 25;
} // namespace

Uyari::Uyari(QWidget *parent) : QWidget(parent)
{
    platform::makeToolWindow(this, platform::ToolWindowKind::Dialog, zamanlayiciSimgesi());
    setObjectName(QStringLiteral("Uyari"));
    setFont(msSansSerif(8.25));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    // The text is the user's own: shown as typed, never read as markup.
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Command1 = new QPushButton(QStringLiteral("&Tamam"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connect(Command1, &QPushButton::clicked, this, &Uyari::Command1_Click);
    // Enter closes it as "&Tamam" does, once the user has come to it; a screen reader finds a dialog.
    platform::setDefaultButton(this, Command1);
}

void Uyari::goster(const QString &baslik, const QString &metin)
{
    setWindowTitle(baslik.isEmpty() ? QStringLiteral("Zamanlayıcı") : baslik);
    Label1->setText(metin);
    // As tall as the text needs at the window's width, by the font's own measure.
    const int genislik = Genislik - 2 * Kenar;
    const int satir = Label1->fontMetrics().lineSpacing();
    const int yukseklik = qBound(satir, Label1->heightForWidth(genislik), EnCokSatir * satir);
    Label1->setGeometry(Kenar, Kenar, genislik, yukseklik);
    const int dugmeY = Kenar + yukseklik + Kenar;
    Command1->setGeometry((Genislik - DugmeGenislik) / 2, dugmeY, DugmeGenislik, DugmeYukseklik);
    setFixedSize(Genislik, dugmeY + DugmeYukseklik + Kenar);
    platform::showAboveWithoutFocus(this);
}

void Uyari::Command1_Click()
{
    close();
}
