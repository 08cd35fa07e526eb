#include "startup/baslangic.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Velmora"));
    app.setOrganizationName(QStringLiteral("Orlenbay"));
    app.setDesktopFileName(QStringLiteral("example.orlenbay.Velmora"));
    app.setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));
    // The program ends through its menu or when its clock is closed, never because a window went away.
    app.setQuitOnLastWindowClosed(false);

    Baslangic baslangic;
    baslangic.Form_Load();
    return app.exec();
}
