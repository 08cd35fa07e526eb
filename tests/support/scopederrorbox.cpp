#include "scopederrorbox.h"

#include <QWidget>

ScopedErrorBox::ScopedErrorBox()
{
    install(this);
}

ScopedErrorBox::~ScopedErrorBox()
{
    reset();
}

void ScopedErrorBox::read(QWidget *parent, const QString &text)
{
    shown << (parent ? parent->windowTitle() : QString()) + QStringLiteral(": ") + text;
}
