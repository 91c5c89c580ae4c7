#pragma once

#include "platform/IProgressDialog.h"

#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QWidget>

// A modal progress window with a cancel button: input to the main window waits, painting does not.
class QtProgressDialog : public IProgressDialog {
    Q_OBJECT
public:
    // in front of this window
    explicit QtProgressDialog(QWidget& window) : parent_(&window) {}
    ~QtProgressDialog() override;

    void begin(const QString& title, const QString& label) override;
    void progress(qint64 received, qint64 total) override;
    void end() override;

    // "1.234 kB von 5.678 kB" (the digits grouped by the default locale), or the received amount
    // alone while the size is unknown
    static QString amountText(qint64 received, qint64 total);

private:
    QPointer<QWidget> parent_;
    QPointer<QProgressDialog> dialog_;
    QPointer<QProgressBar> bar_;
    QString label_;
};
