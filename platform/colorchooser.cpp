#include "platform/colorchooser.h"

#include <QColorDialog>

namespace platform {

namespace {
ColorChooser::Answer testAnswer;
}

void ColorChooser::installAnswerForTesting(Answer answer)
{
    testAnswer = std::move(answer);
}

void ColorChooser::showColor(QWidget *parent)
{
    // Opens with no colour preselected; only a confirmed choice changes the current colour.
    const QColor chosen = testAnswer ? testAnswer(Qt::white, parent)
                                     : QColorDialog::getColor(Qt::white, parent);
    if (chosen.isValid())
        m_color = chosen;
}

} // namespace platform
