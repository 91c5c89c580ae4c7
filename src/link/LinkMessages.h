#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

class WholeNameIndex;

// The text messages of the link: a 4-digit type code, then the body.
namespace linkmsg {

constexpr int kNotice = 1111;
constexpr int kBroken = 1112;
constexpr int kCommand = 1113;

constexpr QLatin1StringView kTrackList("TRACKLIST:");
constexpr QLatin1StringView kStartTrack("STARTTRACK:");
constexpr QLatin1StringView kResetPlaylist("RESETPLAYLIST:");

// "1113TRACKLIST:" + count + ";" + every entry followed by ";".
QString BuildTrackList(const QStringList& entries);
// BuildTrackList as it goes on the wire (codec::encodeForLink), built straight into its bytes.
QByteArray EncodeTrackList(const QStringList& entries);
// "1113STARTTRACK:" + the entry.
QString BuildTrackRequest(const QString& entry);

struct Parsed {
    int typeCode = 0;  // 0 when the first 4 characters are no number
    QString body;      // from the 5th character on
};
Parsed Parse(const QString& message);

// At most this many entries are taken from a received track list (what a list can hold).
constexpr int kMaxEntries = 32767;

// The entries of a received track-list message ("1113TRACKLIST:" + count + ";" + entries): the
// text after its first ";", each entry ended by ";"; text after the last ";" is not an entry, two
// adjacent separators give an empty entry, at most kMaxEntries. Every entry is decoded as the
// whole message reads, straight from the bytes, so a large list is never held as one text too.
QStringList TrackListEntries(QByteArrayView message);

// Which entry a track request means: the last entry equal to the name, else the last entry
// containing it; -1 for an empty name or no match. One question: a sender keeps a RequestIndex.
int FindRequestedEntry(const QStringList& entries, const QString& name);

// Cuts a byte stream into whole messages, by what they say rather than by pauses. A track list
// is whole when its announced number of entries has arrived or the next message begins; it ends
// after kMaxEntries entries, and anything but a message head after such a list is an overflow.
// A track request is whole when the next message begins or when its text so far is a whole
// name (see WholeNameIndex). A reset request is whole at its keyword. Anything else runs to the
// next message. At a pause or at the end of the connection flush() hands on what is left.
// Bytes before a message head are dropped.
class Framer {
public:
    // names: tells whether the bytes of a requested name so far can be nothing but the whole
    // name; without it a request ends only with the next message or a pause.
    explicit Framer(WholeNameIndex* names = nullptr) : names_(names) {}
    void append(QByteArrayView bytes);
    void append(const QByteArray& bytes);
    std::optional<QByteArray> next();
    // At a long pause or at the end of the connection: the message begun so far, as it stands;
    // a bare or cut head is dropped.
    std::optional<QByteArray> flush();
    qsizetype buffered() const { return data_.size() - start_; }
    void clear();
    // More than kMaxEntries entries came in one list: the rest should go with the connection.
    bool overflowed() const { return overflow_; }

private:
    enum class Head { None, Partial, Notice, TrackList, Request, Reset, Steer, ToSemicolon, OtherCommand };
    Head headAt(qsizetype pos, bool onlyCommands) const;
    // position of the next message head at or after from; -1 none, -2 a cut head at the end
    qsizetype findHead(qsizetype from) const;
    qsizetype trackListEnd();
    qsizetype runsToNextHead();
    QByteArray take(qsizetype end);
    void dropTo(qsizetype pos);

    QByteArray data_;
    qsizetype start_ = 0;
    // where the scan of the message at start_ stands, so each byte is looked at about once
    qsizetype scanPos_ = -1;
    qsizetype semiFrom_ = 0;  // where the search for the ";" that ends the entry at scanPos_ goes on
    bool countRead_ = false;
    qint64 entriesSeen_ = 0;
    qint64 announced_ = -1;
    bool capped_ = false;
    bool overflow_ = false;
    WholeNameIndex* names_;
};

}  // namespace linkmsg
