#include "link/LinkMessages.h"

#include "link/WholeNameIndex.h"
#include "platform/Codec.h"

#include <QStringView>

#include <algorithm>

namespace linkmsg {

namespace {

constexpr QByteArrayView kCode1113("1113");
constexpr QByteArrayView kKeywords[] = {"TRACKLIST:", "STARTTRACK:", "RESETPLAYLIST:"};
constexpr qsizetype kLongestHead = 4 + 14;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

}  // namespace

QString BuildTrackList(const QStringList& entries)
{
    qsizetype size = 32;
    for (const QString& e : entries)
        size += e.size() + 1;
    QString m;
    m.reserve(size);
    m += QStringLiteral("1113");
    m += kTrackList;
    m += QString::number(entries.size());
    m += u';';
    for (const QString& e : entries) {
        m += e;
        m += u';';
    }
    return m;
}

QByteArray EncodeTrackList(const QStringList& entries)
{
    qsizetype size = 32;
    for (const QString& e : entries)
        size += e.size() + 1;
    QByteArray m;
    m.reserve(size);
    m += "1113";
    m += kTrackList.toLatin1();
    m += QByteArray::number(entries.size());
    m += ';';
    for (const QString& e : entries) {
        // a character Windows-1252 lacks makes the whole message UTF-8
        if (!codec::appendWindows1252(m, e))
            return codec::encodeForLink(BuildTrackList(entries));
        m += ';';
    }
    return m;
}

QString BuildTrackRequest(const QString& entry)
{
    return QStringLiteral("1113") + kStartTrack + entry;
}

Parsed Parse(const QString& message)
{
    Parsed p;
    QStringView code = QStringView(message).left(4);
    while (!code.isEmpty() && isBlank(code.front()))
        code = code.mid(1);
    while (!code.isEmpty() && isBlank(code.back()))
        code.chop(1);
    bool digits = !code.isEmpty();
    for (QChar c : code)
        digits = digits && c >= u'0' && c <= u'9';
    if (digits)
        p.typeCode = code.toInt();
    p.body = message.mid(4);
    return p;
}

QStringList TrackListEntries(QByteArrayView message)
{
    QStringList out;
    qsizetype p = message.indexOf(';');
    if (p < 0)
        return out;
    const bool utf8 = codec::isValidUtf8(message);
    // the count in front sizes the list; a count that lies only costs the guess
    qsizetype digits = p;
    while (digits > 0 && message[digits - 1] >= '0' && message[digits - 1] <= '9' && p - digits < 6)
        --digits;
    const qsizetype said = digits < p ? message.sliced(digits, p - digits).toLongLong() : 0;
    out.reserve(std::min({said, qsizetype(kMaxEntries), message.size() - p}));
    ++p;
    for (qsizetype q; out.size() < kMaxEntries && (q = message.indexOf(';', p)) >= 0; p = q + 1)
        out << codec::decodeFromLink(message.sliced(p, q - p), utf8);
    return out;
}

int FindRequestedEntry(const QStringList& entries, const QString& name)
{
    if (name.isEmpty())
        return -1;
    for (qsizetype i = entries.size() - 1; i >= 0; --i)
        if (entries.at(i) == name)
            return int(i);
    for (qsizetype i = entries.size() - 1; i >= 0; --i)
        if (entries.at(i).contains(name))
            return int(i);
    return -1;
}

// ---- framing ----

void Framer::append(QByteArrayView bytes)
{
    // drop what has been taken before the buffer grows again
    if (start_ > 0 && start_ >= data_.size() / 2) {
        data_.remove(0, start_);
        if (scanPos_ >= 0)
            scanPos_ -= start_;
        semiFrom_ = std::max<qsizetype>(0, semiFrom_ - start_);
        start_ = 0;
    }
    data_.append(bytes.data(), bytes.size());
}

void Framer::append(const QByteArray& bytes)
{
    // nothing buffered: the bytes are taken as they came, not copied
    if (data_.isEmpty() && start_ == 0)
        data_ = bytes;
    else
        append(QByteArrayView(bytes));
}

void Framer::clear()
{
    data_.clear();
    dropTo(0);
    capped_ = overflow_ = false;
}

Framer::Head Framer::headAt(qsizetype pos, bool onlyCommands) const
{
    const QByteArrayView rest = QByteArrayView(data_).sliced(pos);
    const qsizetype n = std::min<qsizetype>(rest.size(), 4);
    const QByteArrayView code = rest.first(n);
    if (!onlyCommands && n == 4 && (code == "1111" || code == "1112"))
        return Head::Notice;
    if (code != kCode1113.first(n)) {
        if (!onlyCommands && n < 4 &&
            (QByteArrayView("1111").first(n) == code || QByteArrayView("1112").first(n) == code))
            return Head::Partial;
        return Head::None;
    }
    if (n < 4)
        return Head::Partial;
    const QByteArrayView after = rest.sliced(4);
    bool cut = false;
    for (qsizetype k = 0; k < 3; ++k) {
        const QByteArrayView kw = kKeywords[k];
        if (after.size() >= kw.size()) {
            if (after.first(kw.size()) == kw)
                return k == 0 ? Head::TrackList : k == 1 ? Head::Request : Head::Reset;
        } else if (kw.first(after.size()) == after) {
            cut = true;
        }
    }
    if (cut)
        return Head::Partial;
    // any other 1113 message counts at the start of the stream, but never inside a body
    return onlyCommands ? Head::None : Head::OtherCommand;
}

qsizetype Framer::findHead(qsizetype from) const
{
    const QByteArrayView all(data_);
    for (qsizetype i = from; i < all.size();) {
        const qsizetype hit = all.indexOf(kCode1113.first(1), i);
        if (hit < 0)
            return -1;
        const Head h = headAt(hit, true);
        if (h == Head::Partial)
            return -2;
        if (h != Head::None)
            return hit;
        i = hit + 1;
    }
    return -1;
}

QByteArray Framer::take(qsizetype end)
{
    QByteArray m;
    if (start_ == 0 && end == data_.size())
        m = std::move(data_);  // the usual case, and the one with large lists: no copy
    else
        m = data_.mid(start_, end - start_);
    dropTo(end);
    return m;
}

void Framer::dropTo(qsizetype pos)
{
    start_ = pos;
    scanPos_ = -1;
    semiFrom_ = 0;
    countRead_ = false;
    if (start_ >= data_.size()) {
        data_.clear();
        start_ = 0;
    }
}

// End of the track list at start_, -1 while it is not yet whole.
qsizetype Framer::trackListEnd()
{
    const QByteArrayView all(data_);
    const qsizetype n = all.size();
    const qsizetype countAt = start_ + 4 + 10;
    if (scanPos_ < 0)
        scanPos_ = semiFrom_ = countAt;
    if (!countRead_) {
        const qsizetype semi = all.indexOf(';', semiFrom_);
        if (semi < 0) {
            const qsizetype h = findHead(scanPos_);
            if (h >= 0)
                return h;
            scanPos_ = std::max(countAt, n - kLongestHead);
            semiFrom_ = n;
            return -1;
        }
        const QByteArrayView count = all.sliced(countAt, semi - countAt);
        announced_ = -1;
        if (!count.isEmpty() && count.size() <= 9 &&
            std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; }))
            announced_ = QByteArray(count.data(), count.size()).toLongLong();
        countRead_ = true;
        entriesSeen_ = 0;
        scanPos_ = semiFrom_ = semi + 1;
    }
    while (announced_ < 0 || entriesSeen_ < announced_) {
        if (entriesSeen_ >= kMaxEntries) {
            capped_ = true;
            return scanPos_;
        }
        if (scanPos_ >= n)
            return -1;
        const Head h = headAt(scanPos_, true);
        if (h != Head::None && h != Head::Partial)
            return scanPos_;  // the next message begins before the announced count is reached
        if (h == Head::Partial && n - scanPos_ < kLongestHead)
            return -1;
        const qsizetype semi = all.indexOf(';', std::max(scanPos_, semiFrom_));
        if (semi < 0) {
            semiFrom_ = n;
            return -1;  // an entry in flight
        }
        ++entriesSeen_;
        scanPos_ = semiFrom_ = semi + 1;
    }
    // an entry holding ";" makes more separators than announced: keep what follows at once
    while (scanPos_ < n && headAt(scanPos_, false) == Head::None) {
        if (entriesSeen_ >= kMaxEntries) {
            capped_ = true;
            break;
        }
        const qsizetype semi = all.indexOf(';', scanPos_);
        if (semi < 0)
            break;
        ++entriesSeen_;
        scanPos_ = semi + 1;
    }
    return scanPos_;
}

// End of a message that runs to the next head, -1 while none has come.
qsizetype Framer::runsToNextHead()
{
    if (scanPos_ < 0)
        scanPos_ = start_ + 4;
    const qsizetype h = findHead(scanPos_);
    if (h >= 0)
        return h;
    scanPos_ = std::max(start_ + 4, data_.size() - kLongestHead);
    return -1;
}

std::optional<QByteArray> Framer::next()
{
    for (;;) {
        if (start_ >= data_.size())
            return std::nullopt;
        const Head head = headAt(start_, false);
        if (capped_ && head != Head::Partial) {
            capped_ = false;
            if (head == Head::None) {
                clear();
                overflow_ = true;
                return std::nullopt;
            }
        }
        switch (head) {
        case Head::Partial: return std::nullopt;
        case Head::None: {
            const qsizetype h = findHead(start_ + 1);
            if (h >= 0) {
                dropTo(h);
                continue;
            }
            // keep only a tail that may still become a head
            qsizetype keep = data_.size();
            for (qsizetype k = std::min<qsizetype>(kLongestHead, data_.size() - start_ - 1); k > 0; --k) {
                if (headAt(data_.size() - k, true) == Head::Partial) {
                    keep = data_.size() - k;
                    break;
                }
            }
            dropTo(keep);
            return std::nullopt;
        }
        case Head::TrackList: {
            const qsizetype end = trackListEnd();
            if (end < 0)
                return std::nullopt;
            return take(end);
        }
        case Head::Reset: return take(start_ + 4 + kKeywords[2].size());  // nothing after the keyword is used
        case Head::Request: {
            const qsizetype end = runsToNextHead();
            if (end >= 0)
                return take(end);
            const qsizetype nameAt = start_ + 4 + kKeywords[1].size();
            if (names_ && names_->isWhole(QByteArrayView(data_).sliced(nameAt)))
                return take(data_.size());
            return std::nullopt;
        }
        case Head::Notice:
        case Head::OtherCommand: {
            const qsizetype end = runsToNextHead();
            if (end < 0)
                return std::nullopt;
            return take(end);
        }
        }
    }
}

std::optional<QByteArray> Framer::flush()
{
    if (auto m = next())
        return m;
    if (start_ >= data_.size())
        return std::nullopt;
    const Head h = headAt(start_, false);
    if (h == Head::Partial || h == Head::None) {
        clear();
        return std::nullopt;
    }
    return take(data_.size());
}

}  // namespace linkmsg
