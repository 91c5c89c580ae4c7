#pragma once

#include <QString>

class IEventPump;
class ISingleInstance;
class IWindowHost;

namespace desktop {

// The start-up check: true when this start may go on. When another instance of the program
// runs, it is asked to come forward (and to type keys1, then keys2, when keys1 is given, and to
// open file, when given) and false is returned: this start then ends at once without showing a
// window or writing a file. When that instance cannot be reached, this start goes on.
bool ActivatePrevInstance(ISingleInstance& instance, const QString& keys1, const QString& keys2,
                          const QString& file = QString());

// What the running instance does for such a request.
void ComeForward(IWindowHost& window, IEventPump& events, const QString& keys1, const QString& keys2);

}  // namespace desktop
