#include "link/WholeNameIndex.h"

#include "platform/Codec.h"

#include <algorithm>

void WholeNameIndex::rebuild(const QStringList& entries)
{
    sorted_ = entries;
    std::sort(sorted_.begin(), sorted_.end());
    longest_ = 0;
    for (const QString& e : sorted_)
        longest_ = std::max(longest_, e.size());
    stale_ = false;
}

bool WholeNameIndex::isWhole(QByteArrayView name)
{
    if (stale_ && entries_)
        rebuild(*entries_);
    // a character takes at most 3 bytes for each of its UTF-16 units: longer text names nothing,
    // and a long stream of junk is not decoded over and over
    if (name.isEmpty() || name.size() > 3 * longest_)
        return false;
    const QString text = codec::decodeFromLink(name);
    const auto it = std::lower_bound(sorted_.cbegin(), sorted_.cend(), text);
    if (it == sorted_.cend() || *it != text)
        return false;
    // entries that begin with the name sort right after it
    return it + 1 == sorted_.cend() || !(it + 1)->startsWith(text);
}
