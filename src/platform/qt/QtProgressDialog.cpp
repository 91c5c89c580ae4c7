#include "platform/qt/QtProgressDialog.h"

#include <QCoreApplication>
#include <QLocale>
#include <QProgressBar>

namespace {

constexpr int kSteps = 1000;

}  // namespace

QtProgressDialog::~QtProgressDialog()
{
    end();
}

QString QtProgressDialog::amountText(qint64 received, qint64 total)
{
    // digits grouped as the user's locale does it, whatever language the words are in
    const QLocale locale;
    const auto kb = [&locale](qint64 bytes) { return locale.toString((bytes + 1023) / 1024) + QStringLiteral(" kB"); };
    if (total > 0)
        return kb(received) + QCoreApplication::translate("Mirovell", " von ") + kb(total);
    return kb(received);
}

void QtProgressDialog::begin(const QString& title, const QString& label)
{
    end();
    label_ = QCoreApplication::translate("Mirovell", "Lade %1 herunter ...").arg(label);
    auto* dialog = new QProgressDialog(label_ + u'\n' + amountText(0, -1),
                                       QCoreApplication::translate("Mirovell", "Abbrechen"), 0, 0, parent_);
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->setMinimumWidth(360);
    // The bar is driven directly: QProgressDialog::setValue on a modal dialog runs the event loop
    // itself, which would re-enter the transfer that reports the progress.
    auto* bar = new QProgressBar(dialog);
    bar->setRange(0, 0);
    dialog->setBar(bar);
    bar_ = bar;
    connect(dialog, &QProgressDialog::canceled, this, &IProgressDialog::canceled);
    dialog_ = dialog;
    dialog->show();
}

void QtProgressDialog::progress(qint64 received, qint64 total)
{
    if (!dialog_ || dialog_->wasCanceled())
        return;
    dialog_->setLabelText(label_ + u'\n' + amountText(received, total));
    if (!bar_)
        return;
    if (total > 0) {
        bar_->setMaximum(kSteps);
        bar_->setValue(int(qMin<qint64>(kSteps, received * kSteps / total)));
    } else {
        bar_->setMaximum(0);  // busy bar while the size is unknown
    }
}

void QtProgressDialog::end()
{
    if (dialog_) {
        dialog_->hide();
        dialog_->deleteLater();
    }
    dialog_ = nullptr;
}
