#pragma once

#include "model/Control.h"

#include <array>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

// The window's modes: the start shows the local panel without its start button.
enum class Mode { Start, Local, Send, Receive };

// What a mode makes of one control; whatever is left unset stays as it is.
struct ModeState {
    std::optional<bool> visible = {};
    std::optional<bool> enabled = {};
    std::optional<int> left = {};
    const Control* placeOf = nullptr;  // takes that control's place
};
inline constexpr ModeState kShown{true};
inline constexpr ModeState kHidden{false};
inline constexpr ModeState kOn{{}, true};
inline constexpr ModeState kOff{{}, false};

struct Modes {
    ModeState start = {};
    ModeState local = {};
    ModeState send = {};
    ModeState receive = {};
};

// What a screen reader takes a control for; the binding maps it to the toolkit's own roles.
enum class Role { PageTab, Button, EditableText, RadioButton, CheckBox, List, Link };
// Where a screen reader's name for a control comes from.
enum class NameFrom { Caption, ToolTip, Own };

// A control the user acts on from the keyboard: its place in the Tab walk, in tens so that one
// more fits between two (the window's order: tabs, start button, target field, lists, list tools,
// settings row, pin), its role and its name. Controls without a place take no keyboard focus;
// the hidden and disabled ones are left out of the walk.
struct Acting {
    int tab = 0;
    Role role = Role::Button;
    NameFrom nameFrom = NameFrom::Caption;
    const char* name = nullptr;  // Own: the text, translated in the "Mirovell" context
};

// How a control looks, and acts for the keyboard, before anything happens.
struct Look {
    BgrColor back = kDefaultColor;
    BgrColor fore = kDefaultColor;
    std::optional<FontSpec> font = {};
    TextAlign align = TextAlign::Left;
    QString toolTip = {};
    QString picture = {};
    QString disabledPicture = {};
    int value = 0;
    int interval = 0;  // timers, in milliseconds
    bool visible = true;
    bool enabled = true;
    Acting acting = {};
};

inline constexpr FontSpec kButtonFont{12, true, false};
inline constexpr FontSpec kTitleFont{13.5, true, false};
inline constexpr FontSpec kSmallBold{8.25, true, false};
inline constexpr FontSpec kLinkFont{8.25, false, true};

// One event of a control and what it calls.
struct On {
    On(ControlEvent e, std::function<void()> h) : event(e), handler([h = std::move(h)](const EventArgs&) { h(); }) {}
    On(ControlEvent e, Control::Handler h) : event(e), handler(std::move(h)) {}
    ControlEvent event;
    Control::Handler handler;
};

// A control of the window as designed, declared once: where it sits, its caption, how it looks,
// what each mode makes of it, and what its events call. Every one is known to the window's form,
// containers before what they hold, in the order they are declared.
class WindowControl : public Control {
public:
    WindowControl(const QString& name, ControlKind kind, WindowControl* container, TwipRect rect = {},
                  const QString& text = {}, const Look& look = {}, const Modes& modes = {},
                  std::initializer_list<On> events = {});

    // the form's: every control of the window
    const std::vector<Control*>& all() const { return root_->all_; }
    // the form's: every control takes what the mode makes of it
    void enter(Mode mode);
    // the form's: the controls with a place in the Tab walk, in its order
    std::vector<const WindowControl*> tabOrder() const;
    const Acting& acting() const { return acting_; }

private:
    WindowControl* root_;
    Acting acting_;
    std::array<ModeState, 4> modes_;
    std::vector<Control*> all_;
};
