#include "clock/module1.h"

#include "platform/windowmanager.h"

namespace Module1 {

qint32 seffaflik_uygula(QWidget *pencere, qint16 seffaflik)
{
    if (seffaflik < 0 || seffaflik > 255)
        return pencere ? AralikDisi : SistemHatasi;
    return platform::setOpacity(pencere, qMax(seffaflik, EnAzGorunen)) ? Uygulandi : SistemHatasi;
}

} // namespace Module1
