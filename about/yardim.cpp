#include "about/yardim.h"

yardim::yardim(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Yardım"));
}
