#include "dialogs/zamanlayici.h"

Zamanlayici::Zamanlayici(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Zamanlayıcı"));
}
