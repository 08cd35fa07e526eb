#pragma once

#include <QColor>
#include <functional>

class QWidget;

namespace platform {

// A colour chooser that remembers its current colour: black at first, then the last confirmed choice.
// A cancelled choice leaves the current colour as it was.
class ColorChooser
{
public:
    virtual ~ColorChooser() = default;
    QColor color() const { return m_color; }
    // Modal to parent; returns once the user has confirmed or cancelled.
    void showColor(QWidget *parent);

    // Tests replace the dialog with a function that answers at once (an invalid colour means cancelled).
    using Answer = std::function<QColor(const QColor &initial, QWidget *parent)>;
    static void installAnswerForTesting(Answer answer);

private:
    QColor m_color = Qt::black;
};

} // namespace platform
