#include "platform/qttranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace platform {

bool loadQtTranslation()
{
    QCoreApplication *app = QCoreApplication::instance();
    const QString name = QStringLiteral("qtbase_tr");
    if (!app)
        return false;
    if (app->findChild<QTranslator *>(name, Qt::FindDirectChildrenOnly))
        return true;
    // Turkish whatever the user's locale: every other text of the program is Turkish too.
    auto *translator = new QTranslator(app);
    translator->setObjectName(name);
    if (!translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

} // namespace platform
