#pragma once

#include <QString>
#include <QVariant>

#include <optional>

class Control;
class IWindowHost;

// Where the pin could keep its state between runs. The program attaches none, so the pin's
// state is not kept and every start switches it on.
class IPinSettingsStore {
public:
    virtual ~IPinSettingsStore() = default;
    // false when the value could not be stored
    virtual bool RegistrySet(const QString& section, const QString& key, const QString& value) = 0;
    // nothing when the store could not be read
    virtual std::optional<QString> RegistryGet(const QString& section, const QString& key, const QString& fallback) = 0;
};

// The pin in the status strip: keeps the window above all others or lets it drop back.
// It shows one of three pictures lying on top of each other; the control shows the visible one.
class AlwaysOnTop {
public:
    enum class Picture { Disabled, MouseMove, Enabled };  // off, off and hovered, on
    static constexpr int kWidth = 315;
    static constexpr int kHeight = 300;
    static inline const QString kToolTip = QStringLiteral("Always on top");

    // control: the pin control; window: the window it keeps on top (may be null)
    AlwaysOnTop(Control& control, IWindowHost* window);

    void attachStore(IPinSettingsStore* store) { store_ = store; }

    bool GetIsOnTop() const { return isOnTop_; }
    // strSaveSettings: when it equals True (true, "True" in any case, or -1) the state is
    // saved once more after the switch
    void SetToTop(const QVariant& strSaveSettings = {});
    void SetToNormal(const QVariant& strSaveSettings = {});
    void SaveSettings();
    void LoadSettings();

    Picture visiblePicture() const { return visible_; }

    // Events of the control.
    void pointerOverPicture();  // the pointer moves over the visible picture
    void pointerOverSurface();  // the pointer moves over the control outside its pictures
    void clickPicture();        // a click on the visible picture

    static bool equalsTrue(const QVariant& v);

private:
    void switchOn();
    void switchOff();
    void MakeTopmost();
    void MakeNotTopmost();
    void show(Picture p);
    void keepSize();

    Control& control_;
    IWindowHost* window_;
    IPinSettingsStore* store_ = nullptr;
    bool isOnTop_ = false;
    Picture visible_ = Picture::Disabled;
};
