#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

// Which entry a track request names, found without a search per entry: the last entry equal to
// the name through a hash, else the last entry containing it through one search over all entries
// laid end to end. Built again on the first question after markStale().
class RequestIndex {
public:
    explicit RequestIndex(const QStringList* entries = nullptr) : entries_(entries) {}
    void rebuild(const QStringList& entries);
    void markStale(bool stale = true) { stale_ = stale; }
    bool isStale() const { return stale_; }
    // -1 for an empty name or no match.
    int find(const QString& name);

private:
    const QStringList* entries_;
    bool stale_ = true;
    QHash<QString, int> last_;       // each entry's last position
    QString joined_;                 // every entry followed by a '\0'
    std::vector<qsizetype> starts_;  // where each entry begins in joined_
    bool withNul_ = false;           // an entry holds a '\0': the joined text cannot tell them apart
};
