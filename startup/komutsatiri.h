#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// The program's own options, read before Qt sees the command line: "--oku" and "--help". Qt's own
// options (-platform, -display, ...) pass through to the application untouched.
struct KomutSatiri
{
    enum class Is { Saat, Oku, Yardim, Hata };

    Is is = Is::Saat;
    QString hata;                 // the one line said for an option neither ours nor Qt's
    QByteArray xEkrani;           // Qt's -display, where the user named one
    std::vector<char *> qtIcin;   // the program name and Qt's options, in their order

    static KomutSatiri oku(int argc, char *argv[]);
    static QString kullanim();
};
