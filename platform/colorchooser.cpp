#include "platform/colorchooser.h"

#include <QColorDialog>

namespace platform {

bool ColorChooser::showColor(QWidget *parent)
{
    // Opens at its current colour, so that OK on an untouched chooser keeps it; only a confirmed
    // choice changes it.
    if (Answer *answer = Answer::installed()) {
        const QColor chosen = answer->answer(parent);
        if (chosen.isValid())
            m_color = chosen;
        return chosen.isValid();
    }
    // Modal to the dialog that asked, not to the program: the clock and its menu stay usable.
    QColorDialog dialog(m_color, parent);
    dialog.setWindowModality(Qt::WindowModal);
    const bool confirmed = dialog.exec() == QDialog::Accepted && dialog.selectedColor().isValid();
    if (confirmed)
        m_color = dialog.selectedColor();
    // The window manager may hand the focus to another window when the chooser closes; it belongs
    // to the window that asked.
    if (parent)
        parent->window()->activateWindow();
    return confirmed;
}

} // namespace platform
