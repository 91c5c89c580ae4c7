#pragma once

#include "platform/ProgramEnvironment.h"
#include "update/MakerKey.h"

#include <QByteArray>
#include <QString>

class Control;
class IDialogs;
class IEventPump;
class IProcessLauncher;
class IProgressDialog;

// "Update": asks, fetches the updater when it is missing (kept only with a valid signature by
// trustedKey), and starts it. The program must then end, so that the updater can replace it.
// An updater already beside the program runs only when the signature beside it is valid; one
// without is removed and fetched anew.
class UpdateCheck {
public:
    UpdateCheck(Control& UpdateCaption, IDialogs& dialogs, IProcessLauncher& processes, IEventPump& events,
                IProgressDialog& progress, const ProgramEnvironment& environment,
                QByteArray trustedKey = makerkey::publicKey());

    // The click on "Update"; true when the updater was started and the program must end now.
    bool UpdateCaption_Click();
    // true when the updater was started, false when it was not (refused, not fetched, not startable)
    bool StartUpdater(const QString& programAddress, const QString& programFile, const QString& updaterFile,
                      const QString& updaterAddress);
    // The program has ended (during a dialog or the download, say): nothing new starts.
    void shutDown() { ended_ = true; }

private:
    Control& UpdateCaption_;
    IDialogs& dialogs_;
    IProcessLauncher& processes_;
    IEventPump& events_;
    IProgressDialog& progress_;
    ProgramEnvironment environment_;
    QByteArray trustedKey_;
    bool ended_ = false;
};
