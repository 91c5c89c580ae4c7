#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The messages that steer the sender's VLC from a receiver, and say what it plays. They ride on
// the same channels as the track list and the track requests, but go only to a peer that has said
// it knows them: a receiver greets the sender on the request channel, and a sender that knows
// them greets back on the list channel. A peer that does not know them ignores the greeting, as
// it ignores every command it does not know, and hears nothing more of them.
namespace remotemsg {

constexpr QLatin1StringView kHello("REMOTE:");           // + version + ";"
constexpr QLatin1StringView kPause("PAUSE:");            // receiver -> sender
constexpr QLatin1StringView kNext("NEXT:");              // receiver -> sender
constexpr QLatin1StringView kPrevious("PREV:");          // receiver -> sender
constexpr QLatin1StringView kNowPlaying("NOWPLAYING:");  // + index + "," + 0|1|x + ";"

constexpr int kVersion = 1;

enum class Command { Pause, Next, Previous };

QByteArray hello();
QByteArray command(Command c);
// index into the list last announced, -1 for nothing; paused; steerable: whether the sending VLC
// takes commands at all (x instead of the pause flag when not)
QByteArray nowPlaying(int index, bool paused, bool steerable);

// The body of a 1113 message (after the type code) read as one of these; nothing when it is none.
bool isHello(const QString& body);
std::optional<Command> commandIn(const QString& body);
struct NowPlaying {
    int index = -1;
    bool paused = false;
    bool steerable = false;
};
std::optional<NowPlaying> nowPlayingIn(const QString& body);

}  // namespace remotemsg
