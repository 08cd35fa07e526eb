#pragma once

#include <QWidget>

class Krono : public QWidget
{
    Q_OBJECT
public:
    explicit Krono(QWidget *parent = nullptr);
};
