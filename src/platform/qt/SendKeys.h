#pragma once

#include <QList>
#include <QString>
#include <Qt>

#include <optional>

// Key sequences in SendKeys notation: characters type themselves; "+" Shift, "^" Ctrl, "%" Alt
// apply to the next key or to a group in parentheses; "~" is Enter; {NAME} names a key
// ({ENTER}, {TAB}, {F5}, ...) or escapes a character ({+}, {{}); {NAME n} repeats it n times.
namespace sendkeys {

struct KeyStroke {
    int key = 0;  // a Qt::Key
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    QString text;  // what the key types, empty for named keys
    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

// The strokes of a sequence, or nothing when it is not valid notation (nothing is then typed).
std::optional<QList<KeyStroke>> parse(const QString& keys);

}  // namespace sendkeys
