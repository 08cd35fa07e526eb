#pragma once

#include <QFont>
#include <QFontInfo>

// The dialogs' designed face, "MS Sans Serif". It is a small bitmap face: its 8 pt is about as wide
// as an Arial-metric face at 10 pixels. Where it is missing, such a face at that width stands in, so
// that the captions stay inside their designed boxes and clear of the controls drawn over them.
inline QFont msSansSerif(qreal punto)
{
    QFont f;
    f.setFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setPointSizeF(punto);
    if (QFontInfo(f).family() != QLatin1String("MS Sans Serif"))
        f.setPixelSize(qRound(punto * 96 / 72 * 10 / 11));
    return f;
}
