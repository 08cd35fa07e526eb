#include "about/hakkinda.h"

hakkinda::hakkinda(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Orlenbay Velmora"));
}
