#include "desktop/PrevInstance.h"

#include "platform/ISingleInstance.h"
#include "platform/IWindowHost.h"

namespace desktop {

bool ActivatePrevInstance(ISingleInstance& instance, const QString& keys1, const QString& keys2, const QString& file)
{
    if (!instance.anotherInstanceRunning())
        return true;
    // keys2 only ever follows keys1
    instance.activateRunning(keys1, keys1.isEmpty() ? QString() : keys2, file);
    // reached or not, a second instance ends here
    return false;
}

void ComeForward(IWindowHost& window)
{
    window.restoreAndActivate();
}

}  // namespace desktop
