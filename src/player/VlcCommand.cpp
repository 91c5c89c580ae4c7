#include "player/VlcCommand.h"

namespace vlc {

namespace {

const QString kOptionPrefix = QStringLiteral("#EXTVLCOPT:");

}  // namespace

Command localPlayback(const QString& vlc, const QString& playlist)
{
    return {vlc, {playlist}};
}

Command receiving(const QString& vlc, const QString& protocol, const QString& group)
{
    return {vlc, {protocol + QStringLiteral("://@") + group}};
}

Command sending(const QString& vlc, const QString& playlist, const QStringList& itemOptions)
{
    Command c{vlc, {QStringLiteral("--sout-keep"), playlist}};
    for (const QString& line : itemOptions) {
        const QString option = line.startsWith(kOptionPrefix) ? line.mid(kOptionPrefix.size()) : line;
        if (!option.isEmpty())
            c.arguments << u':' + option;
    }
    return c;
}

Command sendingControlled(const QString& vlc, const QString& playlist, const QStringList& itemOptions,
                          const ControlAddress& control)
{
    Command c{vlc,
              {QStringLiteral("--sout-keep"), QStringLiteral("--extraintf"), QStringLiteral("oldrc"),
               control.tcp() ? QStringLiteral("--rc-host") : QStringLiteral("--rc-unix"),
               control.tcp() ? QStringLiteral("127.0.0.1:") + QString::number(control.port) : control.path,
               QStringLiteral("--rc-fake-tty"),
               // measured (VLC 3.0.24, loopback): with these a switch reaches the wire after about
               // 10 ms instead of 1.7 s. The UDP output holds each packet until its date; a file
               // delivers its frames up to its mux preload ahead of that (0.5 s from common muxers),
               // and at a switch the old track's queued packets went out first. Dated a second
               // early, packets leave as the muxer hands them over, paced by the input reading in
               // real time. The TS muxer would also hold back slices of its shaping delay (0.5 s
               // unless told).
               QStringLiteral("--file-caching=150"), QStringLiteral("--sout-ts-shaping=1"),
               QStringLiteral("--sout-ts-dts-delay=0"), QStringLiteral("--sout-mux-caching=0"),
               QStringLiteral("--sout-udp-caching=-1000"), QStringLiteral("--clock-jitter=0")}};
    for (const QString& line : itemOptions) {
        const QString option = line.startsWith(kOptionPrefix) ? line.mid(kOptionPrefix.size()) : line;
        if (!option.isEmpty())
            c.arguments << QStringLiteral("--") + option;
    }
    c.arguments << playlist;
    return c;
}

QStringList streamItemOptions(const QString& soutSetting, const QString& ttlSetting, const QString& host,
                              const QString& protocol)
{
    QStringList lines{soutSetting + QStringLiteral("dst=") + host + QStringLiteral(",access=") + protocol +
                      QStringLiteral(":}")};
    if (!ttlSetting.isEmpty())
        lines << ttlSetting;
    return lines;
}

QStringList groupStreamItemOptions(const QString& soutSetting, const QString& groupAndPort, int ttl,
                                   const QString& protocol)
{
    return streamItemOptions(soutSetting, kOptionPrefix + QStringLiteral("ttl=") + QString::number(ttl), groupAndPort,
                             protocol);
}

}  // namespace vlc
