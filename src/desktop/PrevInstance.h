#pragma once

#include <QString>

class ISingleInstance;
class IWindowHost;

namespace desktop {

// The start-up check: true when this start may go on. When another instance of the program
// runs, it is asked to come forward (and to open file, when given) and false is returned: this start then ends at once
// without showing a window or writing a file. When that instance cannot be reached, this start goes on.
bool ActivatePrevInstance(ISingleInstance& instance, const QString& keys1, const QString& keys2,
                          const QString& file = QString());

// What the running instance does for such a request. The keys a request may carry are not typed:
// no start of this program asks for any.
void ComeForward(IWindowHost& window);

}  // namespace desktop
