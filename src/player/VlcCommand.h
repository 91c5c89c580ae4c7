#pragma once

#include <QString>
#include <QStringList>

// The command lines given to VLC: a program and its arguments, never one text to be split.
namespace vlc {

struct Command {
    QString program;
    QStringList arguments;
};

// Where a sending VLC takes commands: a local socket at a path, or a TCP port on 127.0.0.1 (VLC
// on Windows has no local-socket interface).
struct ControlAddress {
    QString path;
    quint16 port = 0;
    bool tcp() const { return port != 0; }
    bool isEmpty() const { return path.isEmpty() && port == 0; }
};
#ifdef Q_OS_WIN
inline constexpr bool kControlOverTcp = true;
#else
inline constexpr bool kControlOverTcp = false;
#endif

// vlc is the player's path as the user gave it, quotes already taken away.
Command localPlayback(const QString& vlc, const QString& playlist);
// VLC listens on its default port for whatever a sender addresses to this PC; with a group it
// joins that multicast group ("239.255.22.55:1234") instead.
Command receiving(const QString& vlc, const QString& protocol, const QString& group = {});
// VLC ignores stream output inside a play list; as item options after it they apply to every
// entry. itemOptions are the play list's option lines ("#EXTVLCOPT:sout=..."). The stream output
// is kept from one entry to the next: torn down at each end, it drops the entry's last seconds.
Command sending(const QString& vlc, const QString& playlist, const QStringList& itemOptions);
// The same VLC made to stay: the stream output is global, so that entries given to it later over
// its control interface (at control) are sent as well, and its input caching is short, so that a
// switch of track reaches the receivers soon.
Command sendingControlled(const QString& vlc, const QString& playlist, const QStringList& itemOptions,
                          const ControlAddress& control);

// The option lines of a streaming play list, from the two settings (EXTVLCOPT1, which ends where
// the destination goes, and EXTVLCOPT2), for one target host and access protocol.
QStringList streamItemOptions(const QString& soutSetting, const QString& ttlSetting, const QString& host,
                              const QString& protocol);

// The same for one stream to a multicast group that any number of receivers join: the destination
// "GROUP:PORT" and the ttl from the multicast settings.
QStringList groupStreamItemOptions(const QString& soutSetting, const QString& groupAndPort, int ttl,
                                   const QString& protocol);

}  // namespace vlc
