#include "desktop/SingleInstance.h"

#include "platform/Services.h"
#include "platform/SingleInstance.h"

namespace desktop {

bool ActivatePrevInstance(ISingleInstance& instance, const QString& keys1, const QString& keys2)
{
    if (!instance.anotherInstanceRunning())
        return true;
    // keys2 only ever follows keys1
    if (keys1.isEmpty())
        instance.activateRunning(QString(), QString());
    else
        instance.activateRunning(keys1, keys2);
    // reached or not, a second instance ends here
    return false;
}

void ComeForward(IWindowHost& window, const QString& keys1, const QString& keys2)
{
    window.restoreAndActivate();
    if (keys1.isEmpty())
        return;
    window.sendKeys(keys1);
    window.processPendingEvents();
    window.sendKeys(keys2);
    window.processPendingEvents();
}

}  // namespace desktop
