#pragma once

#include <QByteArrayView>
#include <QStringList>

// The entries of the sending list, sorted, to tell at once whether the text of a track request
// so far names an entry that no other entry begins with: nothing more can then belong to it.
class WholeNameIndex {
public:
    // entries: the list to follow; it is sorted again on the first question after markStale().
    explicit WholeNameIndex(const QStringList* entries = nullptr) : entries_(entries) {}
    void rebuild(const QStringList& entries);
    void markStale(bool stale = true) { stale_ = stale; }
    bool isStale() const { return stale_; }
    // The requested name's bytes as they came over the link.
    bool isWhole(QByteArrayView name);

private:
    const QStringList* entries_;
    bool stale_ = true;
    QStringList sorted_;
    qsizetype longest_ = 0;
};
