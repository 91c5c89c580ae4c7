#include "platform/PathHelpers.h"

#include <QFileInfo>

namespace paths {

namespace {

qsizetype lastSeparator(const QString& path)
{
    // one scan from the end for either separator
    qsizetype i = path.size();
    while (--i >= 0 && path[i] != u'/' && path[i] != u'\\') {
    }
    return i;
}

}  // namespace

QString trimBlanks(const QString& text)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && text[b] == u' ')
        ++b;
    while (e > b && text[e - 1] == u' ')
        --e;
    return text.mid(b, e - b);
}

QString FileNameOf(const QString& path)
{
    const qsizetype i = lastSeparator(path);
    return i < 0 ? path : path.mid(i + 1);
}

QString LeadingPath(const QString& path)
{
    const qsizetype i = lastSeparator(path);
    return i < 0 ? path : path.left(i + 1);
}

QString FolderOf(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir())
        return path;
    const qsizetype i = lastSeparator(path);
    return i < 0 ? QString() : path.left(i + 1);
}

std::optional<QString> AddTrailingSeparator(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    QString text = path;
    const bool quoted = text.endsWith(u'"');
    if (quoted)
        text.chop(1);
    if (text.contains(u'\\')) {
        if (!text.endsWith(u'\\'))
            text += u'\\';
    } else if (text.contains(u'/')) {
        if (!text.endsWith(u'/'))
            text += u'/';
    }
    if (quoted)
        text += u'"';
    return text;
}

QString StripQuotes(const QString& text)
{
    QString t = trimBlanks(text);
    // a lone quote is both first and last character; it strips to nothing
    if (!t.isEmpty() && t.startsWith(u'"') && t.endsWith(u'"'))
        t = t.size() < 2 ? QString() : t.mid(1, t.size() - 2);
    return t;
}

}  // namespace paths
