#include "platform/Codec.h"

#include <QtAlgorithms>

#include <array>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define MIROVELL_SSE2 1
#endif

namespace codec {

namespace {

// 0x80..0x9F of Windows-1252; the five undefined bytes map to themselves.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int toByte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return 0x80 + i;
    return -1;
}

void widenWindows1252(char16_t* out, const char* in, qsizetype size)
{
    for (qsizetype i = widenAscii(out, in, size); i < size; ++i) {
        const auto b = static_cast<unsigned char>(in[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : b;
    }
}

// Index of the first byte at or above 0x80, or the size: eight bytes at a time over plain text.
qsizetype asciiPrefix(const char* p, qsizetype n)
{
    qsizetype i = 0;
#ifdef MIROVELL_SSE2
    for (; i + 16 <= n; i += 16) {
        const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
        if (high != 0)
            return i + qCountTrailingZeroBits(unsigned(high));
    }
    if (i < n && n >= 16) {  // the last sixteen, overlapping bytes already known to be plain
        const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16)));
        return high != 0 ? n - 16 + qCountTrailingZeroBits(unsigned(high)) : n;
    }
#endif
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ULL)
            break;
    }
    while (i < n && static_cast<unsigned char>(p[i]) < 0x80)
        ++i;
    return i;
}

}  // namespace

qsizetype copyAscii(char* out, const char16_t* text, qsizetype size, bool stopAtBreaks)
{
    qsizetype i = 0;
#ifdef MIROVELL_SSE2
    // nearly every path and entry is plain ASCII: sixteen characters at a time, packed to bytes,
    // where a line break is one compare; a character at or above 0x80 is seen before the pack,
    // which would fold it into a byte
    const __m128i highBits = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i cr = _mm_set1_epi16('\r');
    const __m128i lf = _mm_set1_epi16('\n');
    const __m128i zero = _mm_setzero_si128();
    const __m128i crBytes = _mm_set1_epi8('\r');
    const __m128i lfBytes = _mm_set1_epi8('\n');
    const auto copy16 = [&](qsizetype at) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at + 8));
        const __m128i bytes = _mm_packus_epi16(v0, v1);
        int stop = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(_mm_or_si128(v0, v1), highBits), zero)) ^ 0xFFFF;
        if (stopAtBreaks)
            stop |= _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, crBytes), _mm_cmpeq_epi8(bytes, lfBytes)));
        if (stop != 0)
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), bytes);
        return true;
    };
    while (i + 16 <= size && copy16(i))
        i += 16;
    // the last sixteen again, overlapping what is copied, rather than one at a time
    if (i + 16 > size && i < size && size >= 16 && copy16(size - 16))
        return size;
    for (; i + 8 <= size; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        __m128i plain = _mm_cmpeq_epi16(_mm_and_si128(v, highBits), zero);
        if (stopAtBreaks)
            plain = _mm_andnot_si128(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)), plain);
        if (_mm_movemask_epi8(plain) != 0xFFFF)
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(v, v));
    }
#endif
    for (; i < size; ++i) {
        const char16_t c = text[i];
        if (c >= 0x80 || (stopAtBreaks && (c == u'\r' || c == u'\n')))
            break;
        out[i] = static_cast<char>(c);
    }
    return i;
}

qsizetype widenAscii(char16_t* out, const char* bytes, qsizetype size)
{
    qsizetype i = 0;
#ifdef MIROVELL_SSE2
    const __m128i zero = _mm_setzero_si128();
    const auto widen16 = [&](qsizetype at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
        if (_mm_movemask_epi8(v) != 0)
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at + 8), _mm_unpackhi_epi8(v, zero));
        return true;
    };
    while (i + 16 <= size && widen16(i))
        i += 16;
    // the last sixteen again, overlapping what is written, rather than one at a time
    if (i + 16 > size && i < size && size >= 16 && widen16(size - 16))
        return size;
    if (i + 8 <= size) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + i));
        if (_mm_movemask_epi8(v) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(v, zero));
            i += 8;
        }
    }
#endif
    for (; i < size; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80)
            break;
        out[i] = c;
    }
    return i;
}

bool isValidUtf8(QByteArrayView bytes)
{
    // checked in place: a large message is not decoded twice just to learn how to decode it
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        p += asciiPrefix(reinterpret_cast<const char*>(p), end - p);
        if (p == end)
            break;
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        unsigned low = 0x80, high = 0xBF;  // the allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0)
                low = 0xA0;  // no overlong forms
            else if (c == 0xED)
                high = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;  // nothing above U+10FFFF
        } else {
            return false;
        }
        if (end - p <= more || p[1] < low || p[1] > high)
            return false;
        for (int k = 2; k <= more; ++k)
            if (p[k] < 0x80 || p[k] > 0xBF)
                return false;
        p += more + 1;
    }
    return true;
}

qsizetype decodeFromLink(char16_t* out, QByteArrayView part, QByteArrayView whole, int& wholeIsUtf8)
{
    const qsizetype n = part.size();
    const qsizetype ascii = widenAscii(out, part.data(), n);
    if (ascii == n)
        return n;
    if (wholeIsUtf8 < 0)
        wholeIsUtf8 = isValidUtf8(whole) ? 1 : 0;
    if (wholeIsUtf8 == 1)
        return -1;
    widenWindows1252(out + ascii, part.data() + ascii, n - ascii);
    return n;
}

QString fromWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    if (!bytes.isEmpty())
        widenWindows1252(reinterpret_cast<char16_t*>(out.data()), bytes.data(), bytes.size());
    return out;
}

QByteArray toWindows1252(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char* d = out.data();
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    qsizetype w = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        const int b = toByte(c);
        if (b >= 0) {
            d[w++] = static_cast<char>(b);
        } else {
            // a surrogate pair is one character, and one '?'
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1]))
                ++i;
            d[w++] = '?';
        }
    }
    out.truncate(w);
    return out;
}

bool isAscii(QByteArrayView bytes)
{
    return asciiPrefix(bytes.data(), bytes.size()) == bytes.size();
}

QString decodeLine(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return fromWindows1252(bytes);
}

QByteArray encodeForFile(QStringView text)
{
#ifdef Q_OS_WIN
    return toWindows1252(text);
#else
    return text.toUtf8();
#endif
}

void appendForFile(QByteArray& out, QStringView text)
{
    const qsizetype at = out.size();
    const qsizetype n = text.size();
    out.resize(at + n);
    char* d = out.data() + at;
    // plain ASCII is the same in every narrow encoding; anything else takes the long way
    if (copyAscii(d, text.utf16(), n, false) < n) {
        out.truncate(at);
        out += encodeForFile(text);
    }
}

bool writeWindows1252(char* out, QStringView text)
{
    const char16_t* s = text.utf16();
    for (qsizetype i = copyAscii(out, s, text.size(), false); i < text.size(); ++i) {
        const int b = toByte(s[i]);
        if (b < 0)
            return false;
        out[i] = static_cast<char>(b);
    }
    return true;
}

bool appendWindows1252(QByteArray& out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    if (writeWindows1252(out.data() + at, text))
        return true;
    out.truncate(at);
    return false;
}

QByteArray encodeForLink(QStringView text)
{
    // one pass: Windows-1252 until a character does not fit, then UTF-8 for the whole text
    QByteArray out;
    out.reserve(text.size());
    return appendWindows1252(out, text) ? out : text.toUtf8();
}

QString decodeFromLink(QByteArrayView bytes)
{
    return decodeLine(bytes);
}

QList<QByteArrayView> splitLines(QByteArrayView bytes)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(bytes.sliced(start, i - start));
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(bytes.sliced(start));
    return lines;
}

}  // namespace codec
