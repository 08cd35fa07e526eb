#pragma once

#include <QWidget>

class yardim : public QWidget
{
    Q_OBJECT
public:
    explicit yardim(QWidget *parent = nullptr);
};
