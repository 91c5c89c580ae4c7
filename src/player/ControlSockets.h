#pragma once

#include <QString>

// The files of sending VLCs' control sockets in the user's runtime folder. VLC leaves its socket
// behind when it ends, and a program that was killed cannot take it away, so ours are removed
// when their session ends and the ones no VLC listens on any more at the next session's start.
namespace controlsockets {

// mirovell-vlc-PID-N.sock: one per window of a process
QString pathFor(const QString& folder, qint64 pid, int number);
// Removes path when it is a socket of the user's own (never what a link points to).
bool remove(const QString& path);
// Removes from folder every socket named as ours, of the user's own, that no one listens on;
// returns how many went.
int removeStale(const QString& folder);

}  // namespace controlsockets
