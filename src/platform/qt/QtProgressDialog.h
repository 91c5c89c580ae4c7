#pragma once

#include "platform/Progress.h"

#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QWidget>

// A modal progress window with a cancel button: input to the main window waits, painting does not.
class QtProgressDialog : public IProgressDialog {
public:
    explicit QtProgressDialog(QWidget* parent = nullptr) : parent_(parent) {}
    ~QtProgressDialog() override;
    void setParent(QWidget* parent) { parent_ = parent; }

    void begin(const QString& title, const QString& label, std::function<void()> cancel) override;
    void progress(qint64 received, qint64 total) override;
    void end() override;

    // "1.234 kB von 5.678 kB", or the received amount alone while the size is unknown
    static QString amountText(qint64 received, qint64 total);

private:
    QPointer<QWidget> parent_;
    QPointer<QProgressDialog> dialog_;
    QPointer<QProgressBar> bar_;
    QString label_;
};
