#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The one place where text meets bytes: files, the link and the platform's narrow encoding.
namespace codec {

// Windows-1252, with undefined bytes mapped to the same code point (as Windows does).
QString fromWindows1252(QByteArrayView bytes);
// Characters Windows-1252 lacks become '?'.
QByteArray toWindows1252(QStringView text);

// True when every byte is below 0x80: such bytes read the same in every encoding here.
bool isAscii(QByteArrayView bytes);
// Valid UTF-8 is read as UTF-8, anything else as Windows-1252.
QString decodeLine(QByteArrayView bytes);

// The platform's narrow encoding for files (UTF-8 on Linux, the ANSI code page elsewhere).
QByteArray encodeForFile(QStringView text);
// Copies the leading plain-ASCII characters of text to out as bytes, up to the first character
// at or above 0x80 (or, with stopAtBreaks, the first CR or LF); returns how many it copied.
qsizetype copyAscii(char* out, const char16_t* text, qsizetype size, bool stopAtBreaks);
// Widens the leading plain-ASCII bytes of bytes to out, up to the first byte at or above 0x80;
// returns how many it wrote.
qsizetype widenAscii(char16_t* out, const char* bytes, qsizetype size);
// encodeForFile(text) appended to out, without a buffer of its own for plain ASCII.
void appendForFile(QByteArray& out, QStringView text);

// Link messages: Windows-1252 when every character fits, otherwise UTF-8.
QByteArray encodeForLink(QStringView text);
// Appends text in Windows-1252; false, with out as it was, when a character does not fit.
bool appendWindows1252(QByteArray& out, QStringView text);
// Writes text in Windows-1252 to out, one byte per character (text.size() bytes); false when a
// character does not fit, with out partly written.
bool writeWindows1252(char* out, QStringView text);
QString decodeFromLink(QByteArrayView bytes);
// Reads a part of a received message into out (room for part.size() characters) as the whole
// message reads, and returns how many characters it wrote; -1 for a part that is UTF-8 beyond
// plain ASCII, which QString::fromUtf8 reads (out then holds its plain start). wholeIsUtf8 caches
// isValidUtf8(whole) across the parts of one message: -1 until a part that is not plain ASCII
// needs it (plain ASCII reads the same either way).
qsizetype decodeFromLink(char16_t* out, QByteArrayView part, QByteArrayView whole, int& wholeIsUtf8);

bool isValidUtf8(QByteArrayView bytes);

// Splits at CR LF, CR or LF; a trailing line break does not start a further line.
QList<QByteArrayView> splitLines(QByteArrayView bytes);

}  // namespace codec
