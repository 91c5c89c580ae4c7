// Which receivers may have the list when this instance serves several: the user is asked, in the
// window, about each one that is not known yet, and the answers are kept in the settings file.
#include "app/LastRun.h"
#include "app/MainWindow.h"

namespace {

QStringList addresses(const QString& stored)
{
    QStringList out;
    for (const QString& a : stored.split(u',', Qt::SkipEmptyParts))
        if (!a.trimmed().isEmpty())
            out << a.trimmed();
    return out;
}

}  // namespace

void MainWindow::restoreAnswers()
{
    sending_.setAnswers(addresses(lastrun::read(settings_, lastrun::kAllowed)),
                        addresses(lastrun::read(settings_, lastrun::kDenied)));
    connect(&sending_, &SendingEnd::answersChanged, this, &MainWindow::keepAnswers, Qt::UniqueConnection);
    showAdmission();
}

void MainWindow::keepAnswers()
{
    lastrun::Values()
        .set(lastrun::kAllowed, sending_.allowedHosts().join(u','))
        .set(lastrun::kDenied, sending_.deniedHosts().join(u','))
        .writeTo(settings_);
}

void MainWindow::askAdmission(const QString& address)
{
    if (!asking_.contains(address))
        asking_ << address;
    showAdmission();
}

void MainWindow::AdmitBtn_Click()
{
    answerAdmission(true);
}

void MainWindow::DenyBtn_Click()
{
    answerAdmission(false);
}

void MainWindow::answerAdmission(bool allow)
{
    if (asking_.isEmpty())
        return;
    const QString address = asking_.takeFirst();
    browsers_.removeAll(address);
    sending_.answer(address, allow);
    showAdmission();
}

void MainWindow::ForgetBtn_Click()
{
    asking_.clear();
    browsers_.clear();
    sending_.forgetAnswers();
    web_.forget();
    showAdmission();
}

// The question about the first receiver that waits, else the way to take the answers back.
void MainWindow::showAdmission()
{
    // a browser asks in either mode, a receiver only where several are served
    const bool browser = !asking_.isEmpty() && browsers_.contains(asking_.first());
    const bool several = sending_.several() || browser;
    if (several && !asking_.isEmpty()) {
        const QString address = asking_.first();
        const QString name = lanNames_.nameOf(address);
        AdmitLabel.setText((name.isEmpty() ? address : name) + (browser ? tr(" (Browser)") : QString()) + u'\r' +
                           tr("möchte die Liste"));
        AdmitLabel.setToolTip(address);
    }
    AdmitFrame.setVisible(several && !asking_.isEmpty());
    ForgetBtn.setVisible((several || web_.running()) && asking_.isEmpty() &&
                         !(sending_.allowedHosts().isEmpty() && sending_.deniedHosts().isEmpty()));
}
