#pragma once

#include <QWidget>

class Seffaflik : public QWidget
{
    Q_OBJECT
public:
    explicit Seffaflik(QWidget *parent = nullptr);
};
