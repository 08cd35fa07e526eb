#pragma once

#include "platform/replaceable.h"

#include <QColor>

class QWidget;

namespace platform {

// A colour chooser that remembers its current colour: black at first, then the last confirmed choice.
// A cancelled choice leaves the current colour as it was.
class ColorChooser
{
public:
    virtual ~ColorChooser() = default;
    QColor color() const { return m_color; }
    // Modal to parent; returns once the user has confirmed (true) or cancelled, with parent's window
    // active.
    bool showColor(QWidget *parent);

    // Tests install an answer that stands in for the dialog and answers at once.
    class Answer : public Replaceable<Answer>
    {
    public:
        virtual ~Answer() = default;
        // The confirmed colour, or an invalid one for a cancel.
        virtual QColor answer(QWidget *parent) = 0;
    };

private:
    QColor m_color = Qt::black;
};

} // namespace platform
