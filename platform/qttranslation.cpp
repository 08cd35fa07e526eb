#include "platform/qttranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace platform {

bool loadQtTranslation(QCoreApplication *app)
{
    // Turkish whatever the user's locale: every other text of the program is Turkish too.
    auto *translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_tr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace platform
