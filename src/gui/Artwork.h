#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

// The program's pictures, drawn rather than shipped, so they stay sharp at any scale.
namespace artwork {

// Keys: tab-local, tab-send, tab-receive (each also "-disabled"), exit, panel-local, panel-send,
// panel-receive, pin-up, pin-down, pin-hover, app.
QPixmap picture(const QString& key, QSize size, qreal devicePixelRatio = 1.0);

}  // namespace artwork
