#include "desktop/AlwaysOnTop.h"

#include "app/Control.h"
#include "platform/Services.h"

namespace {

const QString kSection = QStringLiteral("AlwaysOnTop");
const QString kKey = QStringLiteral("OnTop");

}  // namespace

AlwaysOnTop::AlwaysOnTop(Control& control, IWindowHost* window) : control_(control), window_(window)
{
    QString tip = kToolTip;
    if (window_ && !window_->canStayOnTop())
        tip += QStringLiteral(
            " (hier nicht möglich: das Fenstersystem lässt kein Programm sein Fenster über den anderen halten)");
    control_.setToolTip(tip);
    show(Picture::Disabled);
    keepSize();
    QObject::connect(&control_, &Control::changed, &control_, [this](Control*, Control::Property p) {
        if (p == Control::Property::Geometry)
            keepSize();
    });
}

bool AlwaysOnTop::equalsTrue(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool();
    case QMetaType::QString: {
        const QString s = v.toString().trimmed();
        return s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || s == u"-1";
    }
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double: return v.toDouble() == -1.0;
    default: return false;
    }
}

void AlwaysOnTop::SetToTop(const QVariant& strSaveSettings)
{
    switchOn();
    if (equalsTrue(strSaveSettings))
        SaveSettings();
}

void AlwaysOnTop::SetToNormal(const QVariant& strSaveSettings)
{
    switchOff();
    if (equalsTrue(strSaveSettings))
        SaveSettings();
}

void AlwaysOnTop::SaveSettings()
{
    if (store_)
        store_->RegistrySet(kSection, kKey, isOnTop_ ? QStringLiteral("True") : QStringLiteral("False"));
}

void AlwaysOnTop::LoadSettings()
{
    std::optional<QString> value;
    if (store_)
        value = store_->RegistryGet(kSection, kKey, QStringLiteral("True"));
    if (!value)
        return;  // nothing could be read: the state stays
    if (equalsTrue(*value))
        SetToTop();
    else
        SetToNormal();
}

void AlwaysOnTop::pointerOverPicture()
{
    if (visible_ == Picture::Disabled)
        show(Picture::MouseMove);
}

void AlwaysOnTop::pointerOverSurface()
{
    if (visible_ == Picture::MouseMove)
        show(Picture::Disabled);
}

void AlwaysOnTop::clickPicture()
{
    if (visible_ == Picture::Enabled)
        switchOff();
    else
        switchOn();
}

void AlwaysOnTop::switchOn()
{
    isOnTop_ = true;
    show(Picture::Enabled);
    MakeTopmost();
}

void AlwaysOnTop::switchOff()
{
    isOnTop_ = false;
    show(Picture::MouseMove);  // the pointer is still over the pin
    MakeNotTopmost();
}

void AlwaysOnTop::MakeTopmost()
{
    isOnTop_ = true;
    SaveSettings();
    if (window_)
        window_->setTopmost(true);
}

void AlwaysOnTop::MakeNotTopmost()
{
    isOnTop_ = false;
    SaveSettings();
    if (window_)
        window_->setTopmost(false);
}

void AlwaysOnTop::show(Picture p)
{
    visible_ = p;
    switch (p) {
    case Picture::Disabled: control_.setPictures(QStringLiteral("pin-up")); break;
    case Picture::MouseMove: control_.setPictures(QStringLiteral("pin-hover")); break;
    case Picture::Enabled: control_.setPictures(QStringLiteral("pin-down")); break;
    }
    control_.setValue(isOnTop_ ? 1 : 0);
}

void AlwaysOnTop::keepSize()
{
    const TwipRect& r = control_.rect();
    if (r.width != kWidth || r.height != kHeight)
        control_.setRect({r.left, r.top, kWidth, kHeight});
}
