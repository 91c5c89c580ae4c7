#include "app/MainWindow.h"
#include "link/RequestCoalescer.h"
#include "player/PathHelpers.h"

#include <QDeadlineTimer>
#include <QThread>

namespace {

constexpr BgrColor kWhite = 0xFFFFFF;
constexpr BgrColor kLightGrey = 0xE0E0E0;
const QString kOptionPrefix = QStringLiteral("#EXTVLCOPT:");

QString withoutOptionPrefix(const QString& value)
{
    return value.startsWith(kOptionPrefix) ? value.mid(kOptionPrefix.size()) : value;
}

// One argument for the command-line split: quoted when it holds blanks or quotes.
QString asArgument(const QString& text)
{
    if (!text.isEmpty() && !text.contains(u' ') && !text.contains(u'\t') && !text.contains(u'"'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\"\""));
    return u'"' + quoted + u'"';
}

}  // namespace

void MainWindow::wireStreamEvents()
{
    SystemTray.attach(services_.tray, services_.window);
    // back to a normal window by any way: the tray icon goes
    removeTrayIcon = [this] { SystemTray.RemoveTrayIcon(); };
    RunVLCBtn.on(ControlEvent::Click, [this] { RunVLCBtn_Click(); });
    TargetText.on(ControlEvent::GotFocus, [this] { TargetText_GotFocus(); });
    TargetText.on(ControlEvent::LostFocus, [this] { TargetText_LostFocus(); });
    SendenUniCastCheck.on(ControlEvent::Click, [this] { SendenUniCastCheck_Click(); });
    MultiCastCheck.on(ControlEvent::Click, [this] { MultiCastCheck_Click(); });
}

QString MainWindow::StreamingCommandLine()
{
    // VLC ignores stream output inside a play list; as item options after it they apply to every entry
    const StreamOptions options = readStreamOptions();
    QString line = paths::QuoteIfSpaced(VlcPath.text()) + u' ' + paths::QuoteIfSpaced(TempPlaylistPath);
    line += u' ' + asArgument(u':' + withoutOptionPrefix(options.sout) + QStringLiteral("dst=") + TargetText.text() +
                              QStringLiteral(",access=") + SelectedProtocol() + QStringLiteral(":}"));
    const QString ttl = withoutOptionPrefix(options.ttl);
    if (!ttl.isEmpty())
        line += u' ' + asArgument(u':' + ttl);
    return line;
}

// Two streams to one target would reach the receiver as a corrupted mix.
void MainWindow::stopSendingVlc()
{
    IProcessLauncher* p = services_.processes;
    if (!p || sendingVlc_ == 0 || !p->isRunning(sendingVlc_)) {
        sendingVlc_ = 0;
        return;
    }
    const qint64 pid = sendingVlc_;
    sendingVlc_ = 0;
    p->terminate(pid);
    QDeadlineTimer deadline(2000);
    while (p->isRunning(pid) && !deadline.hasExpired())
        QThread::msleep(20);
}

void MainWindow::RunVLCBtn_Click()
{
    // every start, asked for over the link or not, serves the requests that wait and spaces the next
    restarts_->begin();
    EnsureVlcLocation();
    // nothing to start, or the program was ended while the dialog was open: the window stays,
    // the kept list is not overwritten and nothing is announced
    if (!hasVlcPath() || ended_)
        return;
    WriteStreamingPlaylist(TempPlaylistPath);
    if (services_.window)
        services_.window->processPendingEvents();
    if (CheckMinimize.value() == 1) {
        if (services_.window)
            services_.window->minimize();
        SystemTray.AddTrayIcon(Form.rect(), Form.text(), false);
    }
    if (services_.window)
        services_.window->processPendingEvents();
    ButtonServerSenden_Click();
    stopSendingVlc();
    sendingVlc_ = startCommandLine(StreamingCommandLine());
    restarts_->end();
}

void MainWindow::TargetText_GotFocus()
{
    TargetText.setBackColor(kWhite);
    TargetText.setSelection(0, int(TargetText.text().size()));
}

void MainWindow::TargetText_LostFocus()
{
    TargetText.setBackColor(kLightGrey);
    Winsock_ServerSend->close();
}

void MainWindow::SendenUniCastCheck_Click()
{
    if (SendenUniCastCheck.value() == 0) {
        TargetText.setEnabled(false);
    } else {
        TargetText.setEnabled(true);
        RunVLCBtn.setText(QStringLiteral("Starte Server >>"));
    }
}

void MainWindow::MultiCastCheck_Click()
{
    SendenUniCastCheck_Click();
}
