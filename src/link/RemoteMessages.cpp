#include "link/RemoteMessages.h"

#include <QStringList>

namespace remotemsg {

namespace {

QByteArray message(QLatin1StringView keyword, const QByteArray& rest = {})
{
    return QByteArrayLiteral("1113") + QByteArray(keyword.data(), keyword.size()) + rest;
}

}  // namespace

QByteArray hello()
{
    return message(kHello, QByteArray::number(kVersion) + ';');
}

QByteArray command(Command c)
{
    switch (c) {
    case Command::Pause: return message(kPause);
    case Command::Next: return message(kNext);
    case Command::Previous: return message(kPrevious);
    }
    return {};
}

QByteArray nowPlaying(int index, bool paused, bool steerable)
{
    return message(kNowPlaying, QByteArray::number(index) + ',' + (!steerable ? 'x' : paused ? '1' : '0') + ';');
}

bool isHello(const QString& body)
{
    // any version: what a later one adds, this one leaves alone
    bool ok = false;
    return body.startsWith(kHello) && body.endsWith(u';') &&
           body.mid(kHello.size(), body.size() - kHello.size() - 1).toInt(&ok) >= 1 && ok;
}

std::optional<Command> commandIn(const QString& body)
{
    if (body == kPause)
        return Command::Pause;
    if (body == kNext)
        return Command::Next;
    if (body == kPrevious)
        return Command::Previous;
    return std::nullopt;
}

std::optional<NowPlaying> nowPlayingIn(const QString& body)
{
    if (!body.startsWith(kNowPlaying) || !body.endsWith(u';'))
        return std::nullopt;
    const QStringList parts = body.mid(kNowPlaying.size(), body.size() - kNowPlaying.size() - 1).split(u',');
    bool okIndex = false;
    const int index = parts.value(0).toInt(&okIndex);
    const QString paused = parts.value(1);
    if (parts.size() != 2 || !okIndex || index < -1 || (paused != u'0' && paused != u'1' && paused != u'x'))
        return std::nullopt;
    return NowPlaying{index, paused == u'1', paused != u'x'};
}

}  // namespace remotemsg
