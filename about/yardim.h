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

    // Designed client size in pixels (3390 x 1125 twips); the window can be resized.
    static constexpr int Genislik = 226;
    static constexpr int Yukseklik = 75;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *Label1;
};
