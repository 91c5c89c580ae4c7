#include "link/RequestIndex.h"

#include <QStringView>

#include <algorithm>

void RequestIndex::rebuild(const QStringList& entries)
{
    last_.clear();
    last_.reserve(entries.size());
    starts_.clear();
    starts_.reserve(size_t(entries.size()));
    qsizetype size = 0;
    for (const QString& e : entries)
        size += e.size() + 1;
    joined_.clear();
    joined_.reserve(size);
    withNul_ = false;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& e = entries.at(i);
        last_.insert(e, int(i));
        starts_.push_back(joined_.size());
        withNul_ = withNul_ || e.contains(u'\0');
        joined_ += e;
        joined_ += u'\0';
    }
    stale_ = false;
}

int RequestIndex::find(const QString& name)
{
    if (stale_ && entries_)
        rebuild(*entries_);
    if (name.isEmpty())
        return -1;
    const auto exact = last_.constFind(name);
    if (exact != last_.cend())
        return exact.value();
    if (withNul_ || name.contains(u'\0')) {
        // no separator is safe: each entry on its own, as rare as such names are
        for (qsizetype i = qsizetype(starts_.size()) - 1; i >= 0; --i) {
            const qsizetype end = size_t(i) + 1 < starts_.size() ? starts_[size_t(i) + 1] - 1 : joined_.size() - 1;
            if (QStringView(joined_).sliced(starts_[size_t(i)], end - starts_[size_t(i)]).contains(name))
                return int(i);
        }
        return -1;
    }
    // the name holds no '\0', so a hit lies within one entry; the last hit is in the last such entry
    const qsizetype at = QStringView(joined_).lastIndexOf(name);
    if (at < 0)
        return -1;
    return int(std::upper_bound(starts_.begin(), starts_.end(), at) - starts_.begin()) - 1;
}
