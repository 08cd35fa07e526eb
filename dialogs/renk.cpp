#include "dialogs/renk.h"

Renk::Renk(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Renk Ayarı"));
}
