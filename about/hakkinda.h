#pragma once

#include <QWidget>

class QLabel;

// The about window: the product picture, whose click opens the maker's web site.
class hakkinda : public QWidget
{
    Q_OBJECT
public:
    explicit hakkinda(QWidget *parent = nullptr);
    ~hakkinda() override;

    static constexpr const char SiteAdresi[] = "https://orlenbay.example/velmora";

    // The designed client area; the window grows to the picture's 240 pixels.
    static constexpr int Genislik = 320;
    static constexpr int Yukseklik = 238;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Image1_Click();

    QLabel *Image1;
    bool m_basili = false;
};
