#include "player/RunFile.h"

#include "platform/IDialogs.h"
#include "platform/PathHelpers.h"
#include "platform/TextFile.h"
#include "player/DesktopApps.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <shellapi.h>
#endif

namespace runfile {

namespace {

// A probe file that lives only as long as this object, in a folder of its own inside the
// temporary folder (a shared temporary folder must never see fixed names of ours).
class Probe {
public:
    Probe(const QString& name, const QByteArray& content)
    {
        if (!dir_.isValid())
            return;
        path_ = QDir::toNativeSeparators(dir_.filePath(name));
        textfile::writeBytes(path_, content);  // if that fails the name alone still tells the type
    }
    const QString& path() const { return path_; }

private:
    QTemporaryDir dir_;
    QString path_;
};

QString programForProbe(const QString& name, const QByteArray& content)
{
    const Probe probe(name, content);
    return probe.path().isEmpty() ? QString() : FindExecutableFor(probe.path());
}

}  // namespace

QString FindExecutableFor(const QString& file)
{
    if (file.isEmpty())
        return {};
#ifdef Q_OS_WIN
    wchar_t answer[MAX_PATH + 1];
    for (wchar_t& c : answer)
        c = L' ';
    const auto code =
        reinterpret_cast<quintptr>(FindExecutableW(reinterpret_cast<const wchar_t*>(file.utf16()), nullptr, answer));
    if (code <= 32)
        return {};
    answer[MAX_PATH] = 0;
    return QString::fromWCharArray(answer);
#else
    return desktopapps::defaultCommandForFile(file).program;
#endif
}

QString FindAssociatedProgram(IDialogs* dialogs, const QString& file)
{
    const bool created = !textfile::fileExists(file) && textfile::createEmptyFile(file);
    const QString separator = file.contains(u'/') ? QStringLiteral("/") : QStringLiteral("\\");

    const qsizetype cut = file.lastIndexOf(separator);
    const QString folderPart = cut >= 0 ? file.left(cut + 1) : QString();
    QString name = cut >= 0 ? file.mid(cut + 1) : file;

    auto finish = [&](const QString& program) {
        if (created)
            textfile::removeFile(file);
        return program;
    };

    if (name.startsWith(u'*'))
        name.remove(0, 1);
    if (name.contains(u'*') && dialogs &&
        dialogs->message(name + QCoreApplication::translate("Mirovell", "Enthält ungültige Zeichen Abbrechen?"),
                         QString(), MessageIcon::None, MessageButtons::YesNo) == MessageAnswer::Yes)
        return finish({});

    QString program;
    if (textfile::fileExists(folderPart + name))
        program = FindExecutableFor(folderPart + name);
    else if (!name.isEmpty())
        program = programForProbe(QStringLiteral("zzzzzzzTemp_") + name, QByteArrayLiteral("  \r\n"));

    if (program.isEmpty()) {
        const QString trimmed = paths::trimBlanks(name);
        const qsizetype dot = name.lastIndexOf(u'.');
        const QString extension = (name.size() < 4 || dot < 0) ? trimmed : name.mid(dot);
        program = programForProbe(QStringLiteral("RunFileTmp") + extension, QByteArrayLiteral(" \r\n"));
    }
    return finish(program);
}

qint64 OpenInBrowser(IProcessLauncher& launcher, const QString& address, WindowStyle style)
{
#ifdef Q_OS_WIN
    QString program;
    {
        const Probe page(QStringLiteral("ZepX00001.html"), QByteArrayLiteral(" \r\n"));
        if (!page.path().isEmpty())
            program = FindAssociatedProgram(nullptr, page.path());
    }
    // no browser recorded for web pages: let the desktop's own opener choose
    return launcher.start(program.isEmpty() ? QStringLiteral("explorer.exe") : program, {address}, style);
#else
    // the whole Exec line: a browser packaged as "flatpak run ... %u" is no program of its own
    desktopapps::Command browser = desktopapps::defaultCommandFor(QStringLiteral("text/html"), address);
    if (!browser.isValid())
        browser = {QStringLiteral("xdg-open"), {address}};  // no browser recorded: the desktop's opener chooses
    return launcher.start(browser.program, browser.arguments, style);
#endif
}

qint64 OpenInTextEditor(IProcessLauncher& launcher, const QString& file)
{
#ifdef Q_OS_WIN
    const desktopapps::Command editor{QStringLiteral("Notepad.exe"), {file}};
#else
    const desktopapps::Command editor = desktopapps::textEditorFor(file);
#endif
    return editor.isValid() ? launcher.start(editor.program, editor.arguments, WindowStyle::NormalFocus) : 0;
}

}  // namespace runfile
