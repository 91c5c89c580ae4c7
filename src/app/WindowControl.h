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

// How a control looks before anything happens.
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

private:
    WindowControl* root_;
    std::array<ModeState, 4> modes_;
    std::vector<Control*> all_;
};
