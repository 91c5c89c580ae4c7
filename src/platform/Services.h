#pragma once

#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>
#include <memory>

// What the program needs from the outside world. Each has a Qt implementation in platform/qt
// and a scripted double in the tests.

enum class WindowStyle { Hidden = 0, NormalFocus = 1, MinimizedFocus = 2, MaximizedFocus = 3 };

class IProcessLauncher {
public:
    virtual ~IProcessLauncher() = default;
    // Starts a program with its arguments, not waited for. Returns the process id, 0 on failure.
    virtual qint64 start(const QString& program, const QStringList& arguments, WindowStyle style) = 0;
    // Ends a process this launcher started, if it still runs and is still that process.
    virtual bool terminate(qint64 pid) = 0;
    virtual bool isRunning(qint64 pid) const = 0;
};

enum class MessageIcon { None, Information, Question, Warning, Critical };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

class IDialogs {
public:
    virtual ~IDialogs() = default;
    virtual MessageAnswer message(const QString& text, const QString& title, MessageIcon icon,
                                  MessageButtons buttons) = 0;
    // The typed text, or "" when cancelled.
    virtual QString input(const QString& prompt, const QString& title, const QString& proposal) = 0;
    // The chosen file's full path, or "" when cancelled. filters: "Name|pattern|Name|pattern".
    virtual QString openFile(const QString& initialFolder, const QString& title, const QString& fileName,
                             const QString& filters) = 0;
};

// The main window as the window system sees it.
class IWindowHost {
public:
    virtual ~IWindowHost() = default;
    virtual void processPendingEvents() = 0;
    virtual void minimize() = 0;
    virtual void restoreAndActivate() = 0;
    virtual bool isMinimized() const = 0;
    virtual void setTopmost(bool on) = 0;
    virtual bool canStayOnTop() const = 0;
    virtual bool isMaximized() const = 0;
    // Lets the user move the window with the button that is held down now (the window system's
    // own move where it offers one).
    virtual void startSystemMove() = 0;
    // Types a key sequence (SendKeys notation: "+" Shift, "^" Ctrl, "%" Alt, "~" Enter, {NAME})
    // into the window's focused control.
    virtual void sendKeys(const QString& keys) = 0;
    // Ends the program at once; no further handler of the window runs.
    virtual void quit() = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual QTime now() const = 0;
};

// Where the program lives and what it was started with.
struct ProgramEnvironment {
    QString programFolder;   // with trailing separator
    QString exeBaseName;     // file name without extension
    QString commandLine;     // the argument text as one string
    QString configFolder;    // the user's folder: used by an installed copy, or when the program folder is not writable
    bool installed = false;  // installed by the system: updates come through its package management
};

// An icon in the desktop's notification area. Mouse events on it arrive as the codes the
// tray host knows (514 left button up, 515 left double click, 517 right button up, ...).
class ITrayIcon {
public:
    virtual ~ITrayIcon() = default;
    // Shows the program's icon; false where the desktop has no notification area.
    virtual bool show(const QString& toolTip) = 0;
    virtual void setToolTip(const QString& toolTip) = 0;
    virtual void hide() = 0;
    virtual bool isShown() const = 0;
    virtual void setMouseHandler(std::function<void(int code)> handler) = 0;
};
