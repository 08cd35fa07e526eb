#pragma once

#include <QWidget>

class Renk : public QWidget
{
    Q_OBJECT
public:
    explicit Renk(QWidget *parent = nullptr);
};
