#pragma once

#include <QString>

// A count of hours, minutes or seconds as the clock and the stopwatch show it: two digits, "07".
inline QString ikiBasamak(int deger)
{
    QString metin = QString::number(deger);
    if (deger >= 0 && deger < 10)
        metin.prepend(QLatin1Char('0'));
    return metin;
}
