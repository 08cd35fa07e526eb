#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class QWindow;

namespace platform {

// Tells when a window gets the focus back from another window of this program (for an unmanaged
// window: when that other window closes). Coming back from another program does not count, nor
// does the close of a popup menu, which takes the keyboard but not the activation.
class FocusReturn : public QObject
{
    Q_OBJECT
public:
    // Watches window for as long as the window lives.
    explicit FocusReturn(QWidget *window);

Q_SIGNALS:
    void returned();

private:
    void focusWindowChanged(QWindow *window);

    QWidget *m_window;
    QPointer<QWindow> m_previous;
    bool m_otherHadFocus = false;  // another window of the program had the focus
};

} // namespace platform
