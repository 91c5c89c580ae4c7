#include "Doubles.h"

#include <QFile>
#include <QTest>

ScriptedDialogs::~ScriptedDialogs()
{
    if (!inputs_.empty() || !messageAnswers_.empty() || !files_.empty())
        QTest::qFail("a scripted dialog answer was left unused", __FILE__, __LINE__);
}

MessageAnswer ScriptedDialogs::message(const QString& text, const QString& title, MessageIcon icon,
                                       MessageButtons buttons)
{
    messages.push_back({text, title, icon, buttons});
    if (buttons == MessageButtons::Ok && messageAnswers_.empty())
        return MessageAnswer::Ok;  // an OK box needs no scripted answer
    if (messageAnswers_.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: ") + text), __FILE__, __LINE__);
        return MessageAnswer::No;
    }
    const MessageAnswer a = messageAnswers_.front();
    messageAnswers_.pop_front();
    return a;
}

QString ScriptedDialogs::input(const QString& prompt, const QString& title, const QString& proposal)
{
    prompts << title + u'|' + prompt + u'|' + proposal;
    if (inputs_.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected input dialog: ") + prompt), __FILE__, __LINE__);
        return {};
    }
    const QString a = inputs_.front();
    inputs_.pop_front();
    return a;
}

QString ScriptedDialogs::openFile(const QString& initialFolder, const QString& title, const QString& fileName,
                                  const QString& filters)
{
    openFileCalls << title + u'|' + initialFolder + u'|' + fileName + u'|' + filters;
    if (files_.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected file dialog: ") + title), __FILE__, __LINE__);
        return {};
    }
    const QString a = files_.front();
    files_.pop_front();
    return a;
}

qint64 RecordingLauncher::start(const QString& program, const QStringList& arguments, WindowStyle style)
{
    starts.push_back({program, arguments, style});
    return failWith >= 0 ? failWith : qint64(1000 + starts.size());
}

bool RecordingLauncher::terminate(qint64 pid)
{
    if (!isRunning(pid))
        return false;
    terminated.push_back(pid);
    return true;
}

bool RecordingLauncher::isRunning(qint64 pid) const
{
    if (pid <= 1000 || pid > qint64(1000 + starts.size()))
        return false;
    for (qint64 t : terminated)
        if (t == pid)
            return false;
    return true;
}

TestWindow::TestWindow(const QString& commandLine, const QString& folder)
{
    if (folder.isEmpty()) {
        dir = std::make_unique<QTemporaryDir>();
        folderPath = dir->path() + u'/';
    } else {
        folderPath = folder.endsWith(u'/') ? folder : folder + u'/';
    }
    create(commandLine);
}

TestWindow::~TestWindow() = default;

void TestWindow::create(const QString& commandLine)
{
    MainWindowServices s;
    s.processes = &launcher;
    s.dialogs = &dialogs;
    s.window = &host;
    s.clock = &clock;
    s.environment.programFolder = folderPath;
    s.environment.exeBaseName = QStringLiteral("mirovell");
    s.environment.commandLine = commandLine;
    window = std::make_unique<MainWindow>(s);
}

void TestWindow::restart(const QString& commandLine)
{
    window.reset();
    create(commandLine);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        QTest::qFail("cannot write test file", __FILE__, __LINE__);
    f.write(bytes);
}
