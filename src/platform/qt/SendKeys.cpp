#include "platform/qt/SendKeys.h"

#include <QHash>

namespace sendkeys {
namespace {

const QHash<QString, int>& namedKeys()
{
    static const QHash<QString, int> keys = [] {
        QHash<QString, int> k{
            {QStringLiteral("ENTER"), Qt::Key_Return},
            {QStringLiteral("TAB"), Qt::Key_Tab},
            {QStringLiteral("ESC"), Qt::Key_Escape},
            {QStringLiteral("ESCAPE"), Qt::Key_Escape},
            {QStringLiteral("BS"), Qt::Key_Backspace},
            {QStringLiteral("BKSP"), Qt::Key_Backspace},
            {QStringLiteral("BACKSPACE"), Qt::Key_Backspace},
            {QStringLiteral("DEL"), Qt::Key_Delete},
            {QStringLiteral("DELETE"), Qt::Key_Delete},
            {QStringLiteral("INS"), Qt::Key_Insert},
            {QStringLiteral("INSERT"), Qt::Key_Insert},
            {QStringLiteral("HOME"), Qt::Key_Home},
            {QStringLiteral("END"), Qt::Key_End},
            {QStringLiteral("PGUP"), Qt::Key_PageUp},
            {QStringLiteral("PGDN"), Qt::Key_PageDown},
            {QStringLiteral("UP"), Qt::Key_Up},
            {QStringLiteral("DOWN"), Qt::Key_Down},
            {QStringLiteral("LEFT"), Qt::Key_Left},
            {QStringLiteral("RIGHT"), Qt::Key_Right},
            {QStringLiteral("BREAK"), Qt::Key_Pause},
            {QStringLiteral("CAPSLOCK"), Qt::Key_CapsLock},
            {QStringLiteral("NUMLOCK"), Qt::Key_NumLock},
            {QStringLiteral("SCROLLLOCK"), Qt::Key_ScrollLock},
            {QStringLiteral("PRTSC"), Qt::Key_Print},
            {QStringLiteral("HELP"), Qt::Key_Help},
        };
        for (int i = 1; i <= 16; ++i)
            k.insert(QStringLiteral("F%1").arg(i), Qt::Key_F1 + i - 1);
        return k;
    }();
    return keys;
}

KeyStroke charStroke(QChar c, Qt::KeyboardModifiers mods)
{
    KeyStroke s;
    const QChar upper = c.toUpper();
    s.key = upper.unicode();
    s.modifiers = mods;
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier)))
        s.text = (mods & Qt::ShiftModifier) ? QString(upper) : QString(c);
    return s;
}

}  // namespace

std::optional<QList<KeyStroke>> parse(const QString& keys)
{
    QList<KeyStroke> out;
    Qt::KeyboardModifiers pending = Qt::NoModifier;  // for the next key or group
    QList<Qt::KeyboardModifiers> groups;             // modifiers held through each open group
    auto held = [&] {
        Qt::KeyboardModifiers m = pending;
        for (Qt::KeyboardModifiers g : groups)
            m |= g;
        return m;
    };
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QChar c = keys.at(i);
        if (c == u'+' || c == u'^' || c == u'%') {
            pending |= c == u'+' ? Qt::ShiftModifier : c == u'^' ? Qt::ControlModifier : Qt::AltModifier;
            continue;
        }
        if (c == u'(') {
            groups << pending;
            pending = Qt::NoModifier;
            continue;
        }
        if (c == u')') {
            if (groups.isEmpty() || pending != Qt::NoModifier)
                return std::nullopt;
            groups.removeLast();
            continue;
        }
        if (c == u'~') {
            out << KeyStroke{Qt::Key_Return, held(), {}};
        } else if (c == u'{') {
            // "{}}" and "{{}" escape the braces themselves
            qsizetype close = keys.indexOf(u'}', i + 2);
            if (i + 1 < keys.size() && keys.at(i + 1) == u'}')
                close = i + 2 < keys.size() && keys.at(i + 2) == u'}' ? i + 2 : -1;
            if (close < 0)
                return std::nullopt;
            QString body = keys.mid(i + 1, close - i - 1);
            int repeat = 1;
            const qsizetype blank = body.lastIndexOf(u' ');
            if (blank > 0) {
                bool ok = false;
                repeat = body.mid(blank + 1).toInt(&ok);
                if (!ok || repeat < 0 || repeat > 1000)
                    return std::nullopt;
                body.truncate(blank);
            }
            KeyStroke s;
            if (body.size() == 1) {
                s = charStroke(body.at(0), held());
            } else {
                const auto it = namedKeys().constFind(body.toUpper());
                if (it == namedKeys().constEnd())
                    return std::nullopt;
                s = KeyStroke{it.value(), held(), {}};
            }
            for (int n = 0; n < repeat; ++n)
                out << s;
            i = close;
        } else if (c == u'}' || c == u'[' || c == u']') {
            return std::nullopt;  // must be written in braces
        } else {
            out << charStroke(c, held());
        }
        pending = Qt::NoModifier;
    }
    if (!groups.isEmpty() || pending != Qt::NoModifier)
        return std::nullopt;
    return out;
}

}  // namespace sendkeys
