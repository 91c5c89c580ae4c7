#include "app/WindowControl.h"

#include <algorithm>

WindowControl::WindowControl(const QString& name, ControlKind kind, WindowControl* container, TwipRect rect,
                             const QString& text, const Look& look, const Modes& modes,
                             std::initializer_list<On> events)
    : Control(name, kind, container, rect, text), root_(container ? container->root_ : this),
      acting_(look.acting), modes_{modes.start, modes.local, modes.send, modes.receive}
{
    root_->all_.push_back(this);
    setBackColor(look.back);
    setForeColor(look.fore);
    if (look.font)
        setFont(*look.font);
    setAlign(look.align);
    setToolTip(look.toolTip);
    if (!look.picture.isEmpty())
        setPictures(look.picture, look.disabledPicture);
    setValue(look.value);
    setInterval(look.interval);
    setVisible(look.visible);
    setEnabled(look.enabled);
    for (const On& on : events)
        Control::on(on.event, on.handler);
}

// Places first, then what shows before what hides, so that the focus never falls into a panel on
// its way out; enabling last.
void WindowControl::enter(Mode mode)
{
    const auto each = [this, mode](auto apply) {
        for (Control* c : all_) {
            auto* w = static_cast<WindowControl*>(c);
            apply(*w, w->modes_[size_t(mode)]);
        }
    };
    each([](WindowControl& c, const ModeState& s) {
        if (s.placeOf)
            c.setRect(s.placeOf->rect());
        if (s.left)
            c.setLeft(*s.left);
    });
    each([](WindowControl& c, const ModeState& s) {
        if (s.visible == true)
            c.show();
    });
    each([](WindowControl& c, const ModeState& s) {
        if (s.visible == false)
            c.hide();
    });
    each([](WindowControl& c, const ModeState& s) {
        if (s.enabled)
            c.setEnabled(*s.enabled);
    });
}

std::vector<const WindowControl*> WindowControl::tabOrder() const
{
    std::vector<const WindowControl*> acting;
    for (const Control* c : root_->all_)
        if (auto* w = static_cast<const WindowControl*>(c); w->acting_.tab > 0)
            acting.push_back(w);
    std::ranges::stable_sort(acting, {}, [](const WindowControl* w) { return w->acting_.tab; });
    return acting;
}
