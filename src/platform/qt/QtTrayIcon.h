#pragma once

#include "platform/ITrayIcon.h"

#include <QIcon>
#include <QPointer>
#include <QSystemTrayIcon>

// The notification-area icon on Qt; created on first use, absent where the desktop has none.
class QtTrayIcon : public ITrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(QIcon icon, QObject* parent = nullptr) : ITrayIcon(parent), iconImage_(std::move(icon)) {}
    bool show(const QString& toolTip) override;
    void hide() override;
    bool isShown() const override { return icon_ && icon_->isVisible(); }

private:
    QIcon iconImage_;
    QPointer<QSystemTrayIcon> icon_;
};
