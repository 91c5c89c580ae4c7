// Feeds arbitrary bytes, cut into arbitrary pieces, through the link's framing and message parsing.
#include "link/LinkMessages.h"
#include "link/WholeNameIndex.h"
#include "platform/Codec.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // the first byte chooses where the stream is cut, as TCP would
    const size_t step = 1 + data[0] % 23;
    const QByteArrayView stream(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    // the quick check agrees with Qt's decoder
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(stream);  // decoding happens on the conversion
    if (codec::isValidUtf8(stream) == utf8.hasError())
        abort();
    const QStringList entries{QStringLiteral("/m/a.avi"), QStringLiteral("/m/b;c.mkv"), QStringLiteral("/m/a"),
                              QString()};
    WholeNameIndex names;
    names.rebuild(entries);
    linkmsg::Framer framer(&names);
    qsizetype total = 0;
    auto check = [&](const QByteArray& m) {
        total += m.size();
        if (m.size() < 4 || !m.startsWith("111") || total > stream.size())
            abort();
        const linkmsg::Parsed p = linkmsg::Parse(codec::decodeFromLink(m));
        if (p.typeCode != 1111 && p.typeCode != 1112 && p.typeCode != 1113)
            abort();
        if (p.body.startsWith(linkmsg::kTrackList)) {
            if (linkmsg::TrackListEntries(m).size() > linkmsg::kMaxEntries)
                abort();
        } else if (p.body.startsWith(linkmsg::kStartTrack)) {
            const int i = linkmsg::FindRequestedEntry(entries, p.body.mid(11));
            if (i >= entries.size() || (i >= 0 && !entries[i].contains(p.body.mid(11))))
                abort();
        }
    };
    for (qsizetype at = 0; at < stream.size() && !framer.overflowed(); at += qsizetype(step)) {
        framer.append(stream.sliced(at, std::min<qsizetype>(qsizetype(step), stream.size() - at)));
        while (auto m = framer.next())
            check(*m);
    }
    while (auto m = framer.flush())
        check(*m);
    if (framer.buffered() != 0)
        abort();
    return 0;
}
