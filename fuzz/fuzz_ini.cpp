// Settings file: whatever the file holds, writing one value and reading it back gives that value,
// and every other line of the file survives in its order.
#include "app/Ini.h"
#include "platform/Codec.h"

#include <QByteArray>
#include <QList>

#include <cstdlib>

namespace {

bool usableName(const QString& name, bool isKey)
{
    if (name.contains(u'\r') || name.contains(u'\n') || name.contains(QChar(0)))
        return false;
    if (isKey)
        return !name.trimmed().isEmpty() && !name.contains(u'=') && !name.trimmed().startsWith(u'[');
    return !name.contains(u']');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // layout: section \x1F key \x1F value \x1F file content
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> parts = input.split('\x1F');
    if (parts.size() < 4)
        return 0;
    const QString section = codec::decodeLine(parts[0]);
    const QString key = codec::decodeLine(parts[1]);
    const QString value = codec::decodeLine(parts[2]);
    const QByteArray content = input.mid(parts[0].size() + parts[1].size() + parts[2].size() + 3);
    if (!usableName(section, false) || !usableName(key, true))
        return 0;

    const QByteArray written = ini::withValue(content, section, key, value);
    QString expected = value;
    expected.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString encodedBack = codec::decodeLine(codec::encodeForFile(expected));
    if (ini::valueIn(written, section, key) != encodedBack.trimmed())
        std::abort();

    // the old lines are the new ones with one line replaced or up to two added
    const auto before = codec::splitLines(content);
    const auto after = codec::splitLines(written);
    if (after.size() < before.size() || after.size() > before.size() + 2)
        std::abort();
    qsizetype i = 0, j = 0, differing = 0;
    while (i < before.size() && j < after.size()) {
        if (before[i] == after[j]) {
            ++i;
            ++j;
        } else if (after.size() > before.size()) {
            ++j;  // an added line
        } else {
            ++i;  // the replaced line
            ++j;
            ++differing;
        }
    }
    if (i != before.size() || differing > 1)
        std::abort();
    return 0;
}
