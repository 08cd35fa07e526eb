#pragma once

#include <QWidget>

class Zamanlayici : public QWidget
{
    Q_OBJECT
public:
    explicit Zamanlayici(QWidget *parent = nullptr);
};
