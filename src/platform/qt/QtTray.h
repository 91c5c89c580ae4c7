#pragma once

#include "platform/Services.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

// The notification-area icon on Qt; created on first use, absent where the desktop has none.
class QtTrayIcon : public QObject, public ITrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(QIcon icon, QObject* parent = nullptr) : QObject(parent), iconImage_(std::move(icon)) {}
    bool show(const QString& toolTip) override;
    void setToolTip(const QString& toolTip) override;
    void hide() override;
    bool isShown() const override { return icon_ && icon_->isVisible(); }
    void setMouseHandler(std::function<void(int code)> handler) override { handler_ = std::move(handler); }

    // The tray host's codes for what Qt reports (left up 514, double click 515, right up 517).
    static int codeFor(QSystemTrayIcon::ActivationReason reason);

private:
    QIcon iconImage_;
    QPointer<QSystemTrayIcon> icon_;
    std::function<void(int)> handler_;
};
