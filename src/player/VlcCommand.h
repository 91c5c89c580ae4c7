#pragma once

#include <QString>
#include <QStringList>

// The command lines given to VLC: a program and its arguments, never one text to be split.
namespace vlc {

struct Command {
    QString program;
    QStringList arguments;
};

// vlc is the player's path as the user gave it, quotes already taken away.
Command localPlayback(const QString& vlc, const QString& playlist);
// VLC listens on its default port for whatever a sender addresses to this PC.
Command receiving(const QString& vlc, const QString& protocol);
// VLC ignores stream output inside a play list; as item options after it they apply to every
// entry. itemOptions are the play list's option lines ("#EXTVLCOPT:sout=...").
Command sending(const QString& vlc, const QString& playlist, const QStringList& itemOptions);

// The option lines of a streaming play list, from the two settings (EXTVLCOPT1, which ends where
// the destination goes, and EXTVLCOPT2), for one target host and access protocol.
QStringList streamItemOptions(const QString& soutSetting, const QString& ttlSetting, const QString& host,
                              const QString& protocol);

}  // namespace vlc
