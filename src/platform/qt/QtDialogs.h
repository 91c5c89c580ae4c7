#pragma once

#include "platform/IDialogs.h"

#include <QPointer>
#include <QWidget>

// Message boxes, the one-line input and the file-open dialog, in front of the main window.
class QtDialogs : public IDialogs {
public:
    explicit QtDialogs(QWidget& window) : parent_(&window) {}
    MessageAnswer message(const QString& text, const QString& title, MessageIcon icon, MessageButtons buttons) override;
    QString input(const QString& prompt, const QString& title, const QString& proposal) override;
    QString openFile(const QString& initialFolder, const QString& title, const QString& fileName,
                     const QString& filters) override;

private:
    QPointer<QWidget> parent_;
};
