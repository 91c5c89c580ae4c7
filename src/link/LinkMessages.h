#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

// The text messages of the link: a 4-digit type code, then the body.
namespace linkmsg {

constexpr int kNotice = 1111;
constexpr int kBroken = 1112;
constexpr int kCommand = 1113;

inline const QString kTrackList = QStringLiteral("TRACKLIST:");
inline const QString kStartTrack = QStringLiteral("STARTTRACK:");
inline const QString kResetPlaylist = QStringLiteral("RESETPLAYLIST:");

// "1113TRACKLIST:" + count + ";" + every entry followed by ";".
QString BuildTrackList(const QStringList& entries);
// "1113STARTTRACK:" + the entry.
QString BuildTrackRequest(const QString& entry);

struct Parsed {
    int typeCode = 0;   // 0 when the first 4 characters are no number
    QString body;       // from the 5th character on
};
Parsed Parse(const QString& message);

// The entries of a track list's text after its first ";", each ended by ";". Text after the
// last ";" is not an entry; two adjacent separators give an empty entry. No length limit.
QStringList SplitTrackList(const QString& list);

// Which entry a track request means: the last entry equal to the name, else the last entry
// containing it; -1 for an empty name or no match.
int FindRequestedEntry(const QStringList& entries, const QString& name);

// Cuts a byte stream into whole messages. A track list is whole when its announced number of
// entries has arrived or the next message begins; other messages run to the next message or
// to a pause in the data (flush). Bytes before a message head are dropped.
class Framer {
public:
    void append(QByteArrayView bytes);
    std::optional<QByteArray> next();
    // At a pause: the message begun so far, as it stands; a bare or cut head is dropped.
    std::optional<QByteArray> flush();
    qsizetype buffered() const { return data_.size() - start_; }
    void clear();

private:
    enum class Head { None, Partial, Notice, TrackList, OpenCommand };
    Head headAt(qsizetype pos, bool onlyCommands) const;
    // position of the next message head at or after from; -1 none, -2 a cut head at the end
    qsizetype findHead(qsizetype from) const;
    qsizetype trackListEnd();
    QByteArray take(qsizetype end);
    void dropTo(qsizetype pos);

    QByteArray data_;
    qsizetype start_ = 0;
    // where the scan of the message at start_ stands, so each byte is looked at about once
    qsizetype scanPos_ = -1;
    qint64 entriesSeen_ = 0;
    qint64 announced_ = -1;
};

}  // namespace linkmsg
