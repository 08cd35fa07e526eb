#pragma once

#include <QWidget>

class QLabel;

// The help window: one sentence with the maker's e-mail address.
class yardim : public QWidget
{
    Q_OBJECT
public:
    explicit yardim(QWidget *parent = nullptr);
    ~yardim() override;

    static constexpr const char EpostaAdresi[] = "destek@orlenbay.example";

    // The first size; the window can be resized.
    static constexpr int Genislik = 226;
    static constexpr int Yukseklik = 75;

private:
    QLabel *Label1;
};
