#include "link/LinkMessages.h"

#include "link/RemoteMessages.h"
#include "link/RequestIndex.h"
#include "link/WholeNameIndex.h"
#include "platform/Codec.h"

#include <QStringView>
#include <QtAlgorithms>

#include <algorithm>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define MIROVELL_SSE2 1
#endif

namespace linkmsg {

namespace {

constexpr QByteArrayView kCode1113("1113");
constexpr QByteArrayView bytesOf(QLatin1StringView keyword)
{
    return {keyword.data(), keyword.size()};
}

// in the order of the heads they make (see Framer::headAt)
constexpr QByteArrayView kKeywords[] = {bytesOf(kTrackList),        bytesOf(kStartTrack),
                                        bytesOf(kResetPlaylist),    bytesOf(remotemsg::kPause),
                                        bytesOf(remotemsg::kNext),  bytesOf(remotemsg::kPrevious),
                                        bytesOf(remotemsg::kHello), bytesOf(remotemsg::kNowPlaying)};
// the steering messages of the remote control end at their keyword, or at their first ";"
constexpr qsizetype kFirstOwnEnd = 3;
constexpr qsizetype kFirstToSemicolon = 6;
constexpr qsizetype kMaxShortBody = 24;
constexpr qsizetype kLongestHead = 4 + 14;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Index of the first c in bytes at or after from, -1 when none.
qsizetype indexOfByte(QByteArrayView bytes, char c, qsizetype from)
{
    if (from >= bytes.size())
        return -1;
    const void* hit = std::memchr(bytes.data() + from, c, size_t(bytes.size() - from));
    return hit ? static_cast<const char*>(hit) - bytes.data() : -1;
}

// Calls f(i) for each i from from on where bytes[i] == c, in order, while f returns true.
template <typename F> void forEachByte(QByteArrayView bytes, qsizetype from, char c, F&& f)
{
    const char* const d = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype i = from;
#ifdef MIROVELL_SSE2
    // sixteen bytes at a time: a list of short entries has a separator every few dozen bytes
    const __m128i wanted = _mm_set1_epi8(c);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        for (unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted))); mask != 0; mask &= mask - 1)
            if (!f(i + qCountTrailingZeroBits(mask)))
                return;
    }
#endif
    for (; i < n; ++i)
        if (d[i] == c && !f(i))
            return;
}

// Passes over whole entries (each ended by ';') from pos, at most limit of them, while the entry
// after each can be no message head, as it does not begin with '1'; returns how many it passed,
// with pos after the last of them. It stops after an entry followed by '1' or by nothing yet.
qsizetype passEntries(QByteArrayView bytes, qsizetype& pos, qsizetype limit)
{
    qsizetype passed = 0;
    forEachByte(bytes, pos, ';', [&](qsizetype semi) {
        ++passed;
        pos = semi + 1;
        return passed < limit && pos < bytes.size() && bytes[pos] != '1';
    });
    return passed;
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
    const QByteArray head = "1113" + bytesOf(kTrackList).toByteArray() + QByteArray::number(entries.size()) + ';';
    qsizetype size = head.size();
    for (const QString& e : entries)
        size += e.size() + 1;
    // Windows-1252 has one byte per character, so the message is sized exactly before it is written
    QByteArray m(size, Qt::Uninitialized);
    char* d = m.data();
    std::memcpy(d, head.constData(), size_t(head.size()));
    d += head.size();
    for (const QString& e : entries) {
        if (!codec::writeWindows1252(d, e))
            return BuildTrackList(entries).toUtf8();  // a character Windows-1252 lacks
        d += e.size();
        *d++ = ';';
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
    const qsizetype first = indexOfByte(message, ';', 0);
    const qsizetype last = message.lastIndexOf(';');
    if (first < 0 || last == first)
        return out;
    // the count in front sizes the list; a count that lies only costs the guess
    qsizetype digits = first;
    while (digits > 0 && message[digits - 1] >= '0' && message[digits - 1] <= '9' && first - digits < 6)
        --digits;
    const qsizetype said = digits < first ? message.sliced(digits, first - digits).toLongLong() : 0;
    out.reserve(std::min({said, qsizetype(kMaxEntries), message.size() - first}));
    // The entries share blocks of characters, each entry a piece of a block followed by a '\0' as
    // every string's text is: an allocation per block instead of one per entry, which was most of
    // the receiver's work. Changing an entry copies it out first, as for any shared string; a block
    // goes with the last entry that uses it. Blocks are small enough for the heap to reuse them
    // (larger ones would be mapped afresh for every list) and to keep little alive for an entry
    // kept on its own.
    constexpr qsizetype kBlockChars = 32 * 1024;
    QString::DataPointer block;
    char16_t* at = nullptr;
    qsizetype room = 0;
    int utf8 = -1;  // how the whole message reads, learnt when an entry is not plain ASCII
    qsizetype p = first + 1;
    forEachByte(message, p, ';', [&](qsizetype q) {
        const QByteArrayView part = message.sliced(p, q - p);
        p = q + 1;
        if (part.isEmpty()) {
            out.emplace_back(qsizetype(0), Qt::Uninitialized);
            return out.size() < kMaxEntries;
        }
        if (room < part.size() + 1) {
            // an entry takes no more characters than bytes, and its '\0' the place of its ';'
            room = std::max(std::min(kBlockChars, last + 1 - q + part.size()), part.size() + 1);
            block = QString::DataPointer(QTypedArrayData<char16_t>::allocate(room));
            Q_CHECK_PTR(block.data());
            at = block.data();
        }
        const qsizetype n = codec::decodeFromLink(at, part, message, utf8);
        if (n < 0) {
            out.emplace_back(QString::fromUtf8(part));
            return out.size() < kMaxEntries;
        }
        at[n] = u'\0';
        // nobody else sees the block yet: no atomic step needed per entry
        block.d_ptr()->ref_.storeRelaxed(block.d_ptr()->ref_.loadRelaxed() + 1);
        out.emplace_back(QString::DataPointer(block.d_ptr(), at, n));
        at += n + 1;
        room -= n + 1;
        return out.size() < kMaxEntries;
    });
    return out;
}

int FindRequestedEntry(const QStringList& entries, const QString& name)
{
    RequestIndex index;
    index.rebuild(entries);
    return index.find(name);
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
    for (qsizetype k = 0; k < qsizetype(std::size(kKeywords)); ++k) {
        const QByteArrayView kw = kKeywords[k];
        if (after.size() >= kw.size()) {
            if (after.first(kw.size()) == kw)
                return k == 0                  ? Head::TrackList
                       : k == 1                ? Head::Request
                       : k == 2                ? Head::Reset
                       : k < kFirstToSemicolon ? Head::Steer
                                               : Head::ToSemicolon;
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
        const qsizetype semi = indexOfByte(all, ';', semiFrom_);
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
        // every head begins with '1': most entries are passed over at their first byte
        const Head h = all[scanPos_] == '1' ? headAt(scanPos_, true) : Head::None;
        if (h != Head::None && h != Head::Partial)
            return scanPos_;  // the next message begins before the announced count is reached
        if (h == Head::Partial && n - scanPos_ < kLongestHead)
            return -1;
        const qint64 wanted = announced_ < 0 ? kMaxEntries : std::min<qint64>(announced_, kMaxEntries);
        qsizetype pos = std::max(scanPos_, semiFrom_);  // no separator lies before semiFrom_
        const qsizetype passed = passEntries(all, pos, qsizetype(wanted - entriesSeen_));
        if (passed == 0) {
            semiFrom_ = n;
            return -1;  // an entry in flight
        }
        entriesSeen_ += passed;
        scanPos_ = semiFrom_ = pos;
    }
    // an entry holding ";" makes more separators than announced: keep what follows at once
    while (scanPos_ < n && (all[scanPos_] != '1' || headAt(scanPos_, false) == Head::None)) {
        if (entriesSeen_ >= kMaxEntries) {
            capped_ = true;
            break;
        }
        const qsizetype semi = indexOfByte(all, ';', scanPos_);
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
        case Head::Steer: {
            const QByteArrayView after = QByteArrayView(data_).sliced(start_ + 4);
            for (qsizetype k = kFirstOwnEnd; k < kFirstToSemicolon; ++k)
                if (after.startsWith(kKeywords[k]))
                    return take(start_ + 4 + kKeywords[k].size());
            return std::nullopt;
        }
        case Head::ToSemicolon: {
            const qsizetype semi = indexOfByte(QByteArrayView(data_), ';', start_ + 4);
            if (semi >= 0 && semi - start_ <= kMaxShortBody + 4 + 11)
                return take(semi + 1);
            // a short message with no end where it should be runs to the next head, as any other
            if (data_.size() - start_ > kMaxShortBody + 4 + 11) {
                const qsizetype end = runsToNextHead();
                if (end >= 0)
                    return take(end);
            }
            return std::nullopt;
        }
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
