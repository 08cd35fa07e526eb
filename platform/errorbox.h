#pragma once

#include "platform/replaceable.h"

#include <QString>

class QWidget;

namespace platform {

// Tells the user what went wrong: a warning box titled like parent and modal to it alone (the clock
// and its menu stay usable). Returns once the user has closed it.
class ErrorBox
{
public:
    static void show(QWidget *parent, const QString &text);

    // Tests install a reader that takes the text at once, instead of a box that waits for a click.
    class Reader : public Replaceable<Reader>
    {
    public:
        virtual ~Reader() = default;
        virtual void read(QWidget *parent, const QString &text) = 0;
    };
};

} // namespace platform
