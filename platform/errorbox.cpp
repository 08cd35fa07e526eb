#include "platform/errorbox.h"

#include <QMessageBox>

namespace platform {

void ErrorBox::show(QWidget *parent, const QString &text)
{
    if (Reader *reader = Reader::installed()) {
        reader->read(parent, text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, parent ? parent->windowTitle() : QString(), text, QMessageBox::Ok,
                    parent);
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

} // namespace platform
