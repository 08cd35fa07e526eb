#pragma once

#include "platform/errorbox.h"

#include <QStringList>

// Takes every error box for its lifetime and keeps it as "window title: text".
class ScopedErrorBox : public platform::ErrorBox::Reader
{
public:
    ScopedErrorBox();
    ~ScopedErrorBox() override;

    void read(QWidget *parent, const QString &text) override;

    QStringList shown;
};
