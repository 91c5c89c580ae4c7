#pragma once

#include <QByteArrayView>
#include <QStringList>

// The entries of the sending list, sorted, to tell at once whether the text of a track request
// so far names an entry that no other entry begins with: nothing more can then belong to it.
class WholeNameIndex {
public:
    void rebuild(const QStringList& entries);
    // The requested name's bytes as they came over the link.
    bool isWhole(QByteArrayView name) const;

private:
    QStringList sorted_;
    qsizetype longest_ = 0;
};
