#include "stopwatch/krono.h"

Krono::Krono(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Kronometre"));
}
