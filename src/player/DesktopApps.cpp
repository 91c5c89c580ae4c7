#include "player/DesktopApps.h"

#include "platform/TextFile.h"

#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace desktopapps {

namespace {

QString valueOf(const QStringList& lines, const QString& section, const QString& key)
{
    bool in = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            in = line == u'[' + section + u']';
            continue;
        }
        if (in && line.startsWith(key + u'='))
            return line.mid(key.size() + 1).trimmed();
    }
    return {};
}

QStringList mimeappsFiles()
{
    QStringList files;
    const QStringList configDirs = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    const QStringList dataDirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString& dir : configDirs)
        files << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir : dataDirs) {
        files << dir + QStringLiteral("/applications/mimeapps.list");
        files << dir + QStringLiteral("/applications/defaults.list");
    }
    for (const QString& dir : dataDirs)
        files << dir + QStringLiteral("/applications/mimeinfo.cache");
    return files;
}

QString desktopFilePath(const QString& id)
{
    const QStringList dataDirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString& dir : dataDirs) {
        const QString direct = dir + QStringLiteral("/applications/") + id;
        if (textfile::fileExists(direct))
            return direct;
        // "kde-kate.desktop" may live in applications/kde/kate.desktop
        QString nested = id;
        nested.replace(u'-', u'/');
        if (textfile::fileExists(dir + QStringLiteral("/applications/") + nested))
            return dir + QStringLiteral("/applications/") + nested;
    }
    return {};
}

Command commandOfDesktopEntry(const QString& id, const QString& file)
{
    const QString path = desktopFilePath(id);
    if (path.isEmpty())
        return {};
    const QStringList lines = textfile::readLines(path).lines;
    const QString exec = valueOf(lines, QStringLiteral("Desktop Entry"), QStringLiteral("Exec"));
    if (valueOf(lines, QStringLiteral("Desktop Entry"), QStringLiteral("Terminal")) == u"true")
        return {};
    Command cmd = expandExec(exec, file);
    if (!cmd.isValid() || QStandardPaths::findExecutable(cmd.program).isEmpty())
        return {};
    cmd.program = QStandardPaths::findExecutable(cmd.program);
    return cmd;
}

}  // namespace

Command expandExec(const QString& exec, const QString& file)
{
    QStringList parts = QProcess::splitCommand(exec);
    Command cmd;
    if (parts.isEmpty())
        return cmd;
    cmd.program = parts.takeFirst();
    bool placed = false;
    for (const QString& part : parts) {
        if (part == u"%f" || part == u"%F") {
            cmd.arguments << file;
            placed = true;
        } else if (part == u"%u" || part == u"%U") {
            // a web address goes in as it is; a drive letter is no scheme
            cmd.arguments << (QUrl(file).scheme().size() > 1 ? file : QUrl::fromLocalFile(file).toString());
            placed = true;
        } else if (part.size() == 2 && part.startsWith(u'%')) {
            continue;  // %i %c %k and the deprecated codes carry nothing we need
        } else {
            cmd.arguments << part;
        }
    }
    if (!placed && !file.isEmpty())
        cmd.arguments << file;
    return cmd;
}

Command defaultCommandFor(const QString& mimeType, const QString& file)
{
    for (const QString& list : mimeappsFiles()) {
        const textfile::ReadResult read = textfile::readLines(list, 4 << 20);
        if (read.status != textfile::ReadStatus::Ok)
            continue;
        for (const char* section : {"Default Applications", "Added Associations", "MIME Cache"}) {
            const QString ids = valueOf(read.lines, QLatin1String(section), mimeType);
            for (const QString& id : ids.split(u';', Qt::SkipEmptyParts)) {
                Command cmd = commandOfDesktopEntry(id.trimmed(), file);
                if (cmd.isValid())
                    return cmd;
            }
        }
    }
    return {};
}

Command defaultCommandForFile(const QString& file)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
    if (!type.isValid())
        return {};
    // only the type itself: a parent such as text/plain would hand a web page to the text editor
    QStringList candidates{type.name()};
    candidates << type.aliases();
    for (const QString& name : candidates) {
        if (name == u"application/octet-stream")
            continue;  // says nothing about which program suits the file
        Command cmd = defaultCommandFor(name, file);
        if (cmd.isValid())
            return cmd;
    }
    return {};
}

Command textEditorFor(const QString& file)
{
    Command cmd = defaultCommandFor(QStringLiteral("text/plain"), file);
    if (cmd.isValid())
        return cmd;
    // desktops without a recorded default still tend to have one of these
    for (const char* name : {"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "xed", "pluma", "featherpad",
                             "leafpad", "l3afpad", "geany"}) {
        const QString program = QStandardPaths::findExecutable(QLatin1String(name));
        if (!program.isEmpty())
            return {program, {file}};
    }
    return {};
}

}  // namespace desktopapps
