#include "gui/Artwork.h"

#include "web/QrCode.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace artwork {

namespace {

enum class Glyph { Play, Send, Receive, Exit };

void drawGlyph(QPainter& p, Glyph g, const QRectF& r, const QColor& c)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF m = r.center();
    const qreal s = qMin(r.width(), r.height());
    QPen pen(c, qMax<qreal>(1.5, s / 11.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (g) {
    case Glyph::Play: {
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(m, s * 0.44, s * 0.44);
        QPainterPath tri;
        tri.moveTo(m.x() - s * 0.14, m.y() - s * 0.22);
        tri.lineTo(m.x() + s * 0.24, m.y());
        tri.lineTo(m.x() - s * 0.14, m.y() + s * 0.22);
        tri.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawPath(tri);
        break;
    }
    case Glyph::Send: {
        // a mast with waves going out
        p.setPen(pen);
        const QPointF top(m.x() - s * 0.18, m.y() - s * 0.12);
        p.drawLine(top, QPointF(top.x() - s * 0.16, m.y() + s * 0.42));
        p.drawLine(top, QPointF(top.x() + s * 0.16, m.y() + s * 0.42));
        p.setBrush(c);
        p.drawEllipse(top, s * 0.06, s * 0.06);
        p.setBrush(Qt::NoBrush);
        for (int i = 1; i <= 3; ++i) {
            const qreal rad = s * 0.14 * i;
            p.drawArc(QRectF(top.x() - rad, top.y() - rad, 2 * rad, 2 * rad), -50 * 16, 100 * 16);
        }
        break;
    }
    case Glyph::Receive: {
        // a dish catching waves
        p.setPen(pen);
        QPainterPath dish;
        const QRectF bowl(m.x() - s * 0.42, m.y() - s * 0.30, s * 0.62, s * 0.62);
        dish.arcMoveTo(bowl, 135);
        dish.arcTo(bowl, 135, 180);
        dish.closeSubpath();
        p.setBrush(c);
        p.drawPath(dish);
        p.drawLine(QPointF(m.x() - s * 0.11, m.y() + s * 0.01), QPointF(m.x() - s * 0.11, m.y() + s * 0.44));
        p.drawLine(QPointF(m.x() - s * 0.28, m.y() + s * 0.44), QPointF(m.x() + s * 0.06, m.y() + s * 0.44));
        p.setBrush(Qt::NoBrush);
        const QPointF focus(m.x() + s * 0.05, m.y() - s * 0.14);
        for (int i = 1; i <= 2; ++i) {
            const qreal rad = s * 0.13 * i;
            p.drawArc(QRectF(focus.x() - rad, focus.y() - rad, 2 * rad, 2 * rad), 0, 90 * 16);
        }
        break;
    }
    case Glyph::Exit: {
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(m.x() - s * 0.38, m.y() - s * 0.36, s * 0.76, s * 0.76), 120 * 16, 300 * 16);
        p.drawLine(QPointF(m.x(), m.y() - s * 0.46), QPointF(m.x(), m.y() - s * 0.02));
        break;
    }
    }
    p.restore();
}

void drawButtonFace(QPainter& p, const QRectF& r, const QColor& base, bool sunken)
{
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient grad(r.topLeft(), r.bottomLeft());
    if (sunken) {
        grad.setColorAt(0, base.darker(135));
        grad.setColorAt(1, base.darker(110));
    } else {
        grad.setColorAt(0, base.lighter(150));
        grad.setColorAt(0.5, base);
        grad.setColorAt(1, base.darker(130));
    }
    const QRectF face = r.adjusted(1, 1, -1, -1);
    p.setPen(QPen(base.darker(sunken ? 180 : 160), 1));
    p.setBrush(grad);
    p.drawRoundedRect(face, 5, 5);
    if (!sunken) {
        p.setPen(QPen(QColor(255, 255, 255, 110), 1));
        p.drawLine(QPointF(face.left() + 5, face.top() + 1.5), QPointF(face.right() - 5, face.top() + 1.5));
    }
}

QPixmap tab(Glyph glyph, const QString& text, const QColor& base, bool disabled, QSize size, qreal dpr)
{
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const QRectF r(0, 0, size.width(), size.height());
    drawButtonFace(p, r, disabled ? base.darker(150) : base, disabled);
    const QColor ink = disabled ? QColor(235, 235, 235) : QColor(255, 255, 255);
    const qreal icon = r.height() * 0.66;
    drawGlyph(p, glyph, QRectF(r.left() + 10, r.center().y() - icon / 2, icon, icon), ink);
    const QRectF textRect(r.left() + icon + 16, r.top(), r.width() - icon - 20, r.height());
    QFont f(QStringLiteral("Sans Serif"));
    f.setBold(true);
    // the largest size whose text still fits beside the icon
    for (int px = qMax(9, int(r.height() * 0.36)); px >= 8; --px) {
        f.setPixelSize(px);
        if (QFontMetricsF(f).horizontalAdvance(text) <= textRect.width())
            break;
    }
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(textRect.translated(1, 1), Qt::AlignVCenter | Qt::AlignLeft, text);
    p.setPen(ink);
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
    if (disabled) {
        // the active tab: an underline marks where the user is
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 214, 90));
        p.drawRoundedRect(QRectF(r.left() + 8, r.bottom() - 5, r.width() - 16, 3), 1.5, 1.5);
    }
    return pm;
}

QPixmap panelIcon(Glyph glyph, const QColor& base, QSize size, qreal dpr)
{
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0.5, 0.5, size.width() - 1, size.height() - 1);
    QRadialGradient grad(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() * 0.8);
    grad.setColorAt(0, base.lighter(160));
    grad.setColorAt(1, base.darker(120));
    p.setPen(QPen(base.darker(170), 1));
    p.setBrush(grad);
    p.drawEllipse(r);
    drawGlyph(p, glyph, r.adjusted(r.width() * 0.18, r.height() * 0.18, -r.width() * 0.18, -r.height() * 0.18),
              Qt::white);
    return pm;
}

// The pin, drawn on a 21 x 20 grid and scaled to the control.
// Off (and hovered, the same image): a push-pin lying on its side, needle to the left, on a
// transparent ground. On: the pin stuck in, seen from above, on a checkered button face drawn
// sunken (dark edge top and left, white edge bottom and right).
QPixmap pin(bool down, QSize size, qreal dpr)
{
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.scale(size.width() / 21.0, size.height() / 20.0);
    const QColor dark(64, 64, 64);
    const QColor red(190, 30, 30);
    if (!down) {
        p.setRenderHint(QPainter::Antialiasing);
        // needle
        p.setPen(QPen(QColor(40, 40, 40), 1.4, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(0.5, 10.2), QPointF(8.0, 10.2));
        p.setPen(QPen(QColor(235, 235, 235), 0.6));
        p.drawLine(QPointF(2.0, 9.5), QPointF(7.5, 9.5));
        // the flat plate behind the needle
        QLinearGradient plate(QPointF(0, 4), QPointF(0, 16));
        plate.setColorAt(0, red.lighter(150));
        plate.setColorAt(1, red.darker(140));
        p.setPen(QPen(red.darker(200), 0.8));
        p.setBrush(plate);
        p.drawRoundedRect(QRectF(8.0, 4.0, 2.2, 12.0), 0.8, 0.8);
        // the body, narrower
        QLinearGradient body(QPointF(0, 7), QPointF(0, 13));
        body.setColorAt(0, red.lighter(170));
        body.setColorAt(0.45, red);
        body.setColorAt(1, red.darker(150));
        p.setBrush(body);
        p.drawRect(QRectF(10.2, 7.0, 5.8, 6.0));
        // the head, a wide knob at the end
        p.setBrush(plate);
        p.drawRoundedRect(QRectF(16.0, 3.5, 3.5, 13.0), 1.5, 1.5);
        return pm;
    }
    // the button face: a checker of white and light grey, as a pressed toolbar button shows it
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int y = 1; y < 19; ++y)
        for (int x = 1; x < 20; ++x)
            p.fillRect(QRectF(x, y, 1, 1), (x + y) % 2 ? QColor(255, 255, 255) : QColor(192, 192, 192));
    p.fillRect(QRectF(0, 0, 21, 1), QColor(128, 128, 128));
    p.fillRect(QRectF(0, 0, 1, 20), QColor(128, 128, 128));
    p.fillRect(QRectF(1, 1, 19, 1), dark);
    p.fillRect(QRectF(1, 1, 1, 18), dark);
    p.fillRect(QRectF(0, 19, 21, 1), Qt::white);
    p.fillRect(QRectF(20, 0, 1, 20), Qt::white);
    // the pin from above: its shadow, the plate, and the round head with a highlight
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawEllipse(QPointF(11.8, 11.6), 5.6, 5.6);
    p.setPen(QPen(red.darker(220), 0.8));
    p.setBrush(red.darker(130));
    p.drawEllipse(QPointF(10.5, 10.0), 5.4, 5.4);
    QRadialGradient head(QPointF(9.0, 8.5), 4.5);
    head.setColorAt(0, red.lighter(190));
    head.setColorAt(0.6, red);
    head.setColorAt(1, red.darker(140));
    p.setBrush(head);
    p.drawEllipse(QPointF(10.5, 10.0), 3.6, 3.6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(9.2, 8.7), 1.1, 1.0);
    return pm;
}

// "qr:" and a text: the text as a QR code, black on white with its quiet zone, whole modules only.
QPixmap qrCode(const QString& text, QSize size, qreal dpr)
{
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::white);
    const QrCode code = QrCode::encode(text.toUtf8());
    const int modules = code.size() + 8;  // four modules of white on each side
    const int cell = int(std::min(size.width(), size.height()) * dpr) / std::max(modules, 1);
    if (code.size() == 0 || cell < 1)
        return pm;
    QPainter p(&pm);
    p.scale(1 / dpr, 1 / dpr);
    const int x0 = (int(size.width() * dpr) - cell * code.size()) / 2;
    const int y0 = (int(size.height() * dpr) - cell * code.size()) / 2;
    for (int y = 0; y < code.size(); ++y)
        for (int x = 0; x < code.size(); ++x)
            if (code.dark(x, y))
                p.fillRect(x0 + x * cell, y0 + y * cell, cell, cell, Qt::black);
    return pm;
}

QPixmap draw(const QString& key, QSize size, qreal dpr)
{
    if (key.startsWith(QLatin1String("qr:")))
        return qrCode(key.mid(3), size, dpr);
    const bool disabled = key.endsWith(QLatin1String("-disabled"));
    const QString base = disabled ? key.left(key.size() - 9) : key;
    const QColor blue(46, 98, 166);
    const QColor green(46, 140, 86);
    const QColor orange(196, 112, 28);
    if (base == u"tab-local")
        return tab(Glyph::Play, QCoreApplication::translate("Mirovell", "Abspielen"), blue, disabled, size, dpr);
    if (base == u"tab-send")
        return tab(Glyph::Send, QCoreApplication::translate("Mirovell", "Senden"), green, disabled, size, dpr);
    if (base == u"tab-receive")
        return tab(Glyph::Receive, QCoreApplication::translate("Mirovell", "Empfangen"), orange, disabled, size, dpr);
    if (base == u"exit") {
        QPixmap pm =
            tab(Glyph::Exit, QCoreApplication::translate("Mirovell", "Ende"), QColor(170, 40, 40), false, size, dpr);
        return pm;
    }
    if (base == u"panel-local")
        return panelIcon(Glyph::Play, blue, size, dpr);
    if (base == u"panel-send")
        return panelIcon(Glyph::Send, green, size, dpr);
    if (base == u"panel-receive" || base == u"app")
        return panelIcon(base == u"app" ? Glyph::Play : Glyph::Receive, base == u"app" ? blue : orange, size, dpr);
    if (base == u"pin-down")
        return pin(true, size, dpr);
    if (base == u"pin-up" || base == u"pin-hover")
        return pin(false, size, dpr);
    QPixmap empty(size);
    empty.fill(Qt::transparent);
    return empty;
}

}  // namespace

QPixmap picture(const QString& key, QSize size, qreal dpr)
{
    if (size.isEmpty())
        size = QSize(16, 16);
    // drawn once per look and size: every repaint of a button is then a copy
    const QString cacheKey =
        QStringLiteral("mirovell-art/%1/%2x%3@%4").arg(key).arg(size.width()).arg(size.height()).arg(dpr);
    QPixmap pm;
    if (QPixmapCache::find(cacheKey, &pm))
        return pm;
    pm = draw(key, size, dpr);
    QPixmapCache::insert(cacheKey, pm);
    return pm;
}

}  // namespace artwork
