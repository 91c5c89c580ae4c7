#include "app/Ini.h"

#include "platform/Codec.h"
#include "platform/TextFile.h"

#include <QFile>

namespace ini {

namespace {

// Larger files are not ours; refusing them keeps a write from losing their tail.
constexpr qint64 kMaxFileSize = qint64(64) << 20;

bool isSectionLine(QStringView trimmed)
{
    return trimmed.startsWith(u'[');
}

QStringView sectionName(QStringView trimmed)
{
    QStringView name = trimmed.mid(1);
    const qsizetype close = name.indexOf(u']');
    if (close >= 0)
        name = name.left(close);
    return name.trimmed();
}

struct Location {
    qsizetype sectionLine = -1;  // index of the section's header line
    qsizetype keyLine = -1;      // index of the key's line in that section
    qsizetype lastContent = -1;  // last non-blank line of the section (the header when none)
};

Location locate(const QList<QByteArrayView>& lines, const QString& section, const QString& key)
{
    Location loc;
    const QString wantSection = section.trimmed();
    const QString wantKey = key.trimmed();
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString text = codec::decodeLine(lines[i]);
        const QStringView t = QStringView(text).trimmed();
        if (isSectionLine(t)) {
            if (inSection)
                break;
            if (sectionName(t).compare(wantSection, Qt::CaseInsensitive) == 0) {
                inSection = true;
                loc.sectionLine = loc.lastContent = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!t.isEmpty())
            loc.lastContent = i;
        if (loc.keyLine >= 0)
            continue;
        const qsizetype eq = t.indexOf(u'=');
        if (eq > 0 && t.left(eq).trimmed().compare(wantKey, Qt::CaseInsensitive) == 0)
            loc.keyLine = i;
    }
    return loc;
}

QByteArray readWhole(const QString& fileName, bool* ok)
{
    *ok = false;
    QFile file(fileName);
    if (file.size() > kMaxFileSize || !file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    *ok = file.error() == QFileDevice::NoError;
    return bytes;
}

}  // namespace

std::optional<QString> valueIn(const QByteArray& content, const QString& section, const QString& key)
{
    const auto lines = codec::splitLines(content);
    const Location loc = locate(lines, section, key);
    if (loc.keyLine < 0)
        return std::nullopt;
    const QString text = codec::decodeLine(lines[loc.keyLine]);
    const qsizetype eq = text.indexOf(u'=');
    return text.mid(eq + 1).trimmed();
}

QByteArray withValue(const QByteArray& content, const QString& section, const QString& key, const QString& value)
{
    // a line break in a value would split it into lines of its own
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');
    const QByteArray entry = codec::encodeForFile(QString(key.trimmed() + u'=' + clean));

    QList<QByteArrayView> lines = codec::splitLines(content);
    const Location loc = locate(lines, section, key);
    QByteArray header;
    if (loc.keyLine >= 0) {
        lines[loc.keyLine] = entry;
    } else if (loc.sectionLine >= 0) {
        lines.insert(loc.lastContent + 1, entry);
    } else {
        header = codec::encodeForFile(QString(u'[' + section.trimmed() + u']'));
        lines.append(header);
        lines.append(entry);
    }
    QByteArray out;
    out.reserve(content.size() + entry.size() + header.size() + 8);
    for (QByteArrayView line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

QString ReadIniValue(const QString& section, const QString& key, const QString& fileName, const QString& fallback,
                     bool createIfMissing)
{
    if (!textfile::fileExists(fileName)) {
        if (createIfMissing && !fileName.isEmpty() && !QFile::exists(fileName))
            textfile::createEmptyFile(fileName);
        return fallback;
    }
    bool ok = false;
    const QByteArray content = readWhole(fileName, &ok);
    if (!ok)
        return fallback;
    return valueOr(content, section, key, fallback);
}

std::optional<QByteArray> ReadIniFile(const QString& fileName)
{
    if (!textfile::fileExists(fileName))
        return std::nullopt;
    bool ok = false;
    QByteArray content = readWhole(fileName, &ok);
    return ok ? std::optional<QByteArray>(std::move(content)) : std::nullopt;
}

QString valueOr(const QByteArray& content, const QString& section, const QString& key, const QString& fallback)
{
    QString value = valueIn(content, section, key).value_or(QString()).left(kMaxValueLength).trimmed();
    if (value.endsWith(QChar(0)))
        value.chop(1);
    return value.isEmpty() ? fallback : value;
}

void WriteIniValue(const QString& section, const QString& key, const QString& value, const QString& fileName,
                   bool createIfMissing)
{
    WriteIniValues(section, {{key, value}}, fileName, createIfMissing);
}

void WriteIniValues(const QString& section, const KeyValues& values, const QString& fileName, bool createIfMissing)
{
    if (fileName.isEmpty())
        return;
    if (!textfile::fileExists(fileName)) {
        if (!createIfMissing || QFile::exists(fileName))
            return;
        textfile::createEmptyFile(fileName);
    }
    bool ok = false;
    QByteArray content = readWhole(fileName, &ok);
    if (!ok)
        return;
    for (const auto& [key, value] : values)
        content = withValue(content, section, key, value);
    textfile::writeBytes(fileName, content);
}

std::optional<QString> StoredIniValue(const QString& section, const QString& key, const QString& fileName)
{
    bool ok = false;
    const QByteArray content = textfile::fileExists(fileName) ? readWhole(fileName, &ok) : QByteArray();
    return ok ? valueIn(content, section, key) : std::nullopt;
}

}  // namespace ini
