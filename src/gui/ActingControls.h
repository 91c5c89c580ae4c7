#pragma once

#include <QAccessible>

#include <vector>

// The controls a user acts on, in the order Tab walks them (the window's order: tabs, start
// button, target field, lists, list tools, settings row, pin), and what a screen reader calls
// them. A control not listed takes no keyboard focus; Qt leaves out the hidden and disabled ones.
struct ActingControl {
    enum class Name { Caption, ToolTip, Own };
    const char* control;
    QAccessible::Role role;
    Name nameFrom;
    const char* name = nullptr;  // Own: the text, translated in the "Mirovell" context
};

const std::vector<ActingControl>& actingControls();

// Screen readers get the picture buttons and the labels that act as buttons with the role above,
// a name, and a press action.
void installActingAccessibility();
