#pragma once

#include "app/WindowControl.h"

#include <QAccessible>

// The toolkit's role for a control's role in the window model.
QAccessible::Role accessibleRole(Role role);

// Screen readers get the picture buttons and the labels that act as buttons with the role the
// binding gave them, a name, and a press action.
void installActingAccessibility();
