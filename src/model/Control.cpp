#include "model/Control.h"

Control::Control(const QString& name, ControlKind kind, Control* container, TwipRect rect, const QString& text)
    : name_(name), kind_(kind), container_(container), text_(text), rect_(rect)
{
    setObjectName(name);
}

void Control::setVisible(bool on)
{
    if (visible_ == on)
        return;
    visible_ = on;
    notify(Property::Visible);
}

void Control::setEnabled(bool on)
{
    if (enabled_ == on)
        return;
    enabled_ = on;
    notify(Property::Enabled);
}

void Control::setText(const QString& text)
{
    if (text_ == text)
        return;
    text_ = text;
    notify(Property::Text);
}

void Control::setValue(int value)
{
    if (value_ == value)
        return;
    value_ = value;
    notify(Property::Value);
}

void Control::setToolTip(const QString& tip)
{
    if (toolTip_ == tip)
        return;
    toolTip_ = tip;
    notify(Property::ToolTip);
}

void Control::setRect(const TwipRect& rect)
{
    if (rect_ == rect)
        return;
    rect_ = rect;
    notify(Property::Geometry);
}

void Control::setBackColor(BgrColor c)
{
    if (backColor_ == c)
        return;
    backColor_ = c;
    notify(Property::Colors);
}

void Control::setForeColor(BgrColor c)
{
    if (foreColor_ == c)
        return;
    foreColor_ = c;
    notify(Property::Colors);
}

void Control::setFont(const FontSpec& f)
{
    if (font_ == f)
        return;
    font_ = f;
    notify(Property::Font);
}

void Control::setPictures(const QString& normal, const QString& disabled, const QString& pressed)
{
    picture_ = normal;
    disabledPicture_ = disabled;
    pressedPicture_ = pressed;
    notify(Property::Picture);
}

void Control::setSelection(int start, int length)
{
    selStart_ = qBound(0, start, int(text_.size()));
    selLength_ = qBound(0, length, int(text_.size()) - selStart_);
    notify(Property::Selection);
}

void Control::setFocus()
{
    emit focusRequested();
}

bool Control::setItem(int i, const QString& text)
{
    if (i < 0 || i >= count())
        return false;
    if (items_[i] != text) {
        items_[i] = text;
        emit itemChanged(i);
    }
    return true;
}

bool Control::addItem(const QString& text)
{
    if (count() >= kMaxItems)
        return false;
    items_.append(text);
    emit itemsInserted(count() - 1, count() - 1);
    return true;
}

int Control::addItems(const QStringList& texts)
{
    const int room = kMaxItems - count();
    const int n = int(qMin<qsizetype>(room, texts.size()));
    if (n <= 0)
        return 0;
    const int first = count();
    if (first == 0 && n == texts.size())
        items_ = texts;  // shared, not copied entry by entry
    else
        items_.append(texts.mid(0, n));
    emit itemsInserted(first, first + n - 1);
    return n;
}

bool Control::insertItem(int i, const QString& text)
{
    if (i < 0 || i > count() || count() >= kMaxItems)
        return false;
    items_.insert(i, text);
    if (listIndex_ >= i)
        ++listIndex_;
    if (markedIndex_ >= i)
        ++markedIndex_;
    emit itemsInserted(i, i);
    return true;
}

bool Control::removeItem(int i)
{
    if (i < 0 || i >= count())
        return false;
    items_.removeAt(i);
    if (markedIndex_ == i)
        markedIndex_ = -1;
    else if (markedIndex_ > i)
        --markedIndex_;
    if (listIndex_ == i)
        listIndex_ = -1;
    else if (listIndex_ > i)
        --listIndex_;
    emit itemsRemoved(i, i);
    notify(Property::ListIndex);
    return true;
}

void Control::clear()
{
    if (items_.isEmpty() && listIndex_ == -1)
        return;
    items_.clear();
    listIndex_ = -1;
    markedIndex_ = -1;
    emit itemsReset();
    notify(Property::ListIndex);
}

void Control::setItems(const QStringList& texts)
{
    items_ = texts.mid(0, kMaxItems);
    listIndex_ = -1;
    markedIndex_ = -1;
    emit itemsReset();
    notify(Property::ListIndex);
}

void Control::setListIndex(int i)
{
    if (i < -1 || i >= count())
        i = -1;
    if (listIndex_ == i)
        return;
    listIndex_ = i;
    notify(Property::ListIndex);
}

void Control::setMarkedIndex(int i)
{
    if (i < -1 || i >= count())
        i = -1;
    if (markedIndex_ == i)
        return;
    const int before = markedIndex_;
    markedIndex_ = i;
    for (int row : {before, i})
        if (row >= 0)
            emit itemChanged(row);
}

void Control::on(ControlEvent event, Handler handler)
{
    handlers_[event] = std::move(handler);
}

void Control::on(ControlEvent event, std::function<void()> handler)
{
    handlers_[event] = [h = std::move(handler)](const EventArgs&) { h(); };
}

void Control::fire(ControlEvent event, const EventArgs& args)
{
    const auto it = handlers_.find(event);
    if (it != handlers_.end() && enabled_)
        it->second(args);
}
