#pragma once

#include <QWidget>

class hakkinda : public QWidget
{
    Q_OBJECT
public:
    explicit hakkinda(QWidget *parent = nullptr);
};
