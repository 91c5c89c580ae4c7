#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

// Positions and sizes in twips (15 per pixel at 96 dpi).
struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const TwipRect&, const TwipRect&) = default;
};

enum class ControlKind {
    Form,
    Frame,
    Label,
    Button,
    PictureButton,
    Picture,
    TextBox,
    CheckBox,
    OptionButton,
    ComboBox,
    ListBox,
    Timer,
    PinToggle,
};

enum class ControlEvent {
    Click,
    DblClick,
    GotFocus,
    LostFocus,
    MouseDown,
    Drop,
    Change,
    Timer,
    Resize,
    MouseMove,
    KeyDown
};

// Key codes and shift flags of KeyDown.
enum KeyCode { kKeyReturn = 13, kKeyDelete = 46, kKeyUp = 38, kKeyDown = 40 };
enum KeyShift { kShiftMask = 1, kCtrlMask = 2, kAltMask = 4 };

struct EventArgs {
    QStringList paths;  // Drop: the dropped files, in the desktop's order
    int button = 0;     // MouseDown: 1 left, 2 right, 4 middle
    int keyCode = 0;    // KeyDown: the key
    int shift = 0;      // KeyDown: the shift, control and alt keys held
};

struct FontSpec {
    double pointSize = 8.25;
    bool bold = false;
    bool underline = false;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

enum class TextAlign { Left, Center };

// Colours as &HBBGGRR; -1 leaves the platform's default.
using BgrColor = qint64;
constexpr BgrColor kDefaultColor = -1;
constexpr BgrColor kSystemWindowText = -2;
// The window's own colours.
constexpr BgrColor kWhite = 0xFFFFFF;
constexpr BgrColor kGrey = 0xC0C0C0;
constexpr BgrColor kLightGrey = 0xE0E0E0;
constexpr BgrColor kPanelGrey = 0x808080;
constexpr BgrColor kLightYellow = 0xC0FFFF;
constexpr BgrColor kRed = 0x0000FF;
constexpr BgrColor kGreen = 0x008000;

// One named control of the main window: the properties the logic touches, and a change signal.
class Control : public QObject {
    Q_OBJECT
public:
    enum class Property {
        Visible,
        Enabled,
        Text,
        Value,
        ToolTip,
        Geometry,
        Colors,
        Font,
        Picture,
        Selection,
        ListIndex,
    };
    static constexpr int kMaxItems = 32767;

    Control(const QString& name, ControlKind kind, Control* container, TwipRect rect = {}, const QString& text = {});

    const QString& name() const { return name_; }
    ControlKind kind() const { return kind_; }
    Control* container() const { return container_; }

    bool visible() const { return visible_; }
    void setVisible(bool on);
    void show() { setVisible(true); }
    void hide() { setVisible(false); }
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);

    // Caption or text, whichever the control has.
    const QString& text() const { return text_; }
    void setText(const QString& text);

    // Check box 0/1, option button 0/1 (selected), pin 0/1.
    int value() const { return value_; }
    void setValue(int value);

    const QString& toolTip() const { return toolTip_; }
    void setToolTip(const QString& tip);

    const TwipRect& rect() const { return rect_; }
    void setRect(const TwipRect& rect);
    void setLeft(int v) { setRect({v, rect_.top, rect_.width, rect_.height}); }
    void setTop(int v) { setRect({rect_.left, v, rect_.width, rect_.height}); }
    void setWidth(int v) { setRect({rect_.left, rect_.top, v, rect_.height}); }
    void setHeight(int v) { setRect({rect_.left, rect_.top, rect_.width, v}); }

    BgrColor backColor() const { return backColor_; }
    BgrColor foreColor() const { return foreColor_; }
    void setBackColor(BgrColor c);
    void setForeColor(BgrColor c);

    const FontSpec& font() const { return font_; }
    void setFont(const FontSpec& f);
    TextAlign align() const { return align_; }
    void setAlign(TextAlign a) { align_ = a; }

    // Picture keys, drawn by the rendering binding.
    const QString& picture() const { return picture_; }
    const QString& disabledPicture() const { return disabledPicture_; }
    const QString& pressedPicture() const { return pressedPicture_; }
    void setPictures(const QString& normal, const QString& disabled = {}, const QString& pressed = {});

    // Text selection of a text box.
    int selStart() const { return selStart_; }
    int selLength() const { return selLength_; }
    void setSelection(int start, int length);

    void setFocus();

    // Timer interval in milliseconds.
    int interval() const { return interval_; }
    void setInterval(int ms) { interval_ = ms; }

    // List and combo items.
    int count() const { return int(items_.size()); }
    const QStringList& items() const { return items_; }
    QString item(int i) const { return (i >= 0 && i < count()) ? items_.at(i) : QString(); }
    bool setItem(int i, const QString& text);
    bool addItem(const QString& text);
    int addItems(const QStringList& texts);  // returns how many fitted
    bool insertItem(int i, const QString& text);
    bool removeItem(int i);
    void clear();
    void setItems(const QStringList& texts);
    int listIndex() const { return listIndex_; }
    void setListIndex(int i);
    // One row shown apart from the others (what plays now); -1 for none. Not a selection.
    int markedIndex() const { return markedIndex_; }
    void setMarkedIndex(int i);

    // Event handlers, attached by the window's logic and fired by the binding or by tests.
    using Handler = std::function<void(const EventArgs&)>;
    void on(ControlEvent event, Handler handler);
    void on(ControlEvent event, std::function<void()> handler);
    bool handles(ControlEvent event) const { return handlers_.count(event) > 0; }
    void fire(ControlEvent event, const EventArgs& args = {});

signals:
    void changed(Control* control, Control::Property property);
    void itemsInserted(int first, int last);
    void itemsRemoved(int first, int last);
    void itemChanged(int index);
    void itemsReset();
    void focusRequested();

private:
    void notify(Property p) { emit changed(this, p); }

    QString name_;
    ControlKind kind_;
    Control* container_;
    bool visible_ = true;
    bool enabled_ = true;
    QString text_;
    int value_ = 0;
    QString toolTip_;
    TwipRect rect_;
    BgrColor backColor_ = kDefaultColor;
    BgrColor foreColor_ = kDefaultColor;
    FontSpec font_;
    TextAlign align_ = TextAlign::Left;
    QString picture_, disabledPicture_, pressedPicture_;
    int selStart_ = 0;
    int selLength_ = 0;
    int interval_ = 0;
    QStringList items_;
    int listIndex_ = -1;
    int markedIndex_ = -1;
    std::map<ControlEvent, Handler> handlers_;
};
