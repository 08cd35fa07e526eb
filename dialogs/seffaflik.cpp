#include "dialogs/seffaflik.h"

Seffaflik::Seffaflik(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Şeffaflık Ayarı"));
}
