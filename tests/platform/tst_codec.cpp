#include "platform/Codec.h"

#include <QTest>

class CodecTest : public QObject {
    Q_OBJECT
private slots:
    void decodeLine_data();
    void decodeLine();
    void windows1252RoundTrip();
    void linkEncoding_data();
    void linkEncoding();
    void splitLines_data();
    void splitLines();
};

void CodecTest::decodeLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("C:\\a.avi") << QStringLiteral("C:\\a.avi");
    QTest::newRow("utf-8") << QByteArray("Empf\xC3\xA4nger") << QStringLiteral("Empfänger");
    QTest::newRow("windows-1252 umlaut") << QByteArray("Empf\xE4nger") << QStringLiteral("Empfänger");
    QTest::newRow("windows-1252 euro and quotes") << QByteArray("\x80 \x93x\x94") << QStringLiteral("€ “x”");
    QTest::newRow("truncated utf-8 falls back") << QByteArray("a\xC3") << QStringLiteral("aÃ");
}

void CodecTest::decodeLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(codec::decodeLine(bytes), text);
}

void CodecTest::windows1252RoundTrip()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QCOMPARE(codec::toWindows1252(codec::fromWindows1252(all)), all);
    QCOMPARE(codec::toWindows1252(QStringLiteral("日本 😀")), QByteArray("?? ?"));
}

void CodecTest::linkEncoding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("fits 1252") << QStringLiteral("1113STARTTRACK:Lied für €")
                               << QByteArray("1113STARTTRACK:Lied f\xFCr \x80");
    QTest::newRow("needs utf-8") << QStringLiteral("1113STARTTRACK:日本")
                                 << QByteArray("1113STARTTRACK:\xE6\x97\xA5\xE6\x9C\xAC");
}

void CodecTest::linkEncoding()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, wire);
    QCOMPARE(codec::encodeForLink(text), wire);
    QCOMPARE(codec::decodeFromLink(wire), text);
}

void CodecTest::splitLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("lf") << QByteArray("a\nb") << QStringList{"a", "b"};
    QTest::newRow("cr") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("blank lines kept") << QByteArray("a\r\n\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("lf cr is two breaks") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("empty") << QByteArray() << QStringList{};
}

void CodecTest::splitLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QStringList got;
    for (QByteArrayView l : codec::splitLines(bytes))
        got << QString::fromLatin1(l);
    QCOMPARE(got, lines);
}

QTEST_GUILESS_MAIN(CodecTest)
#include "tst_codec.moc"
