#include "desktop/AlwaysOnTop.h"

#include "model/Control.h"
#include "platform/IWindowHost.h"

#include <QCoreApplication>

AlwaysOnTop::AlwaysOnTop(Control& pin, IWindowHost& window) : pin_(pin), window_(window)
{
    QString tip = QCoreApplication::translate("Mirovell", kToolTip);
    if (!window_.canStayOnTop())
        tip += QCoreApplication::translate(
            "Mirovell",
            " (hier nicht möglich: das Fenstersystem lässt kein Programm sein Fenster über den anderen halten)");
    pin_.setToolTip(tip);
    show(Picture::Disabled);
    keepSize();
    QObject::connect(&pin_, &Control::changed, &pin_, [this](Control*, Control::Property p) {
        if (p == Control::Property::Geometry)
            keepSize();
    });
}

void AlwaysOnTop::pointerOverPicture()
{
    if (visible_ == Picture::Disabled)
        show(Picture::MouseMove);
}

void AlwaysOnTop::clickPicture()
{
    if (visible_ == Picture::Enabled)
        MakeNotTopmost();
    else
        SetToTop();
}

void AlwaysOnTop::SetToTop()
{
    isOnTop_ = true;
    show(Picture::Enabled);
    window_.setTopmost(true);
}

void AlwaysOnTop::MakeNotTopmost()
{
    isOnTop_ = false;
    show(Picture::MouseMove);  // the pointer is still over the pin
    window_.setTopmost(false);
}

void AlwaysOnTop::show(Picture p)
{
    visible_ = p;
    switch (p) {
    case Picture::Disabled: pin_.setPictures(QStringLiteral("pin-up")); break;
    case Picture::MouseMove: pin_.setPictures(QStringLiteral("pin-hover")); break;
    case Picture::Enabled: pin_.setPictures(QStringLiteral("pin-down")); break;
    }
    pin_.setValue(isOnTop_ ? 1 : 0);
}

void AlwaysOnTop::keepSize()
{
    const TwipRect& r = pin_.rect();
    if (r.width != kWidth || r.height != kHeight)
        pin_.setRect({r.left, r.top, kWidth, kHeight});
}
