#pragma once

#include <QString>

// Names that differ between Windows and the other platforms.
namespace platformdefaults {

#ifdef Q_OS_WIN
inline const QString kDefaultVlcPath = QStringLiteral("C:\\Programme\\VideoLAN\\VLC\\vlc.exe");
inline const QString kVlcExecutableName = QStringLiteral("vlc.exe");
inline const QString kPathSeparator = QStringLiteral("\\");
inline const QString kExecutablePattern = QStringLiteral("*.exe");
#else
inline const QString kDefaultVlcPath = QStringLiteral("/usr/bin/vlc");
inline const QString kVlcExecutableName = QStringLiteral("vlc");
inline const QString kPathSeparator = QStringLiteral("/");
inline const QString kExecutablePattern = QStringLiteral("vlc*");
#endif

// Default host offered in the target field before anything was typed.
inline const QString kDefaultRemoteHost = QStringLiteral("192.168.0.2");

// The updater beside the program, its published name on the maker's server, and the program's
// own file (base name + extension) as the updater replaces it.
#ifdef Q_OS_WIN
inline const QString kUpdaterFileName = QStringLiteral("Update.exe");
inline const QString kPublishedUpdaterName = QStringLiteral("RW-Updater.exe");
inline const QString kPublishedProgramName = QStringLiteral("Mirovell.exe");
inline const QString kProgramExtension = QStringLiteral(".exe");
#else
inline const QString kUpdaterFileName = QStringLiteral("mirovell-updater");
inline const QString kPublishedUpdaterName = QStringLiteral("mirovell-updater");
inline const QString kPublishedProgramName = QStringLiteral("mirovell");
inline const QString kProgramExtension = QString();
#endif

}  // namespace platformdefaults
