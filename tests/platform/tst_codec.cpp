// The one place where text meets bytes. Line splitting and the choice of Windows-1252 or UTF-8 on
// the link meet their cases in the settings file, the drop import and the link messages.
#include "platform/Codec.h"

#include <QTest>

class CodecTest : public QObject {
    Q_OBJECT
private slots:
    void decodeLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8") << QByteArray("Empf\xC3\xA4nger") << QStringLiteral("Empfänger");
        QTest::newRow("windows-1252 euro and quotes") << QByteArray("\x80 \x93x\x94") << QStringLiteral("€ “x”");
        QTest::newRow("truncated utf-8 falls back") << QByteArray("a\xC3") << QStringLiteral("aÃ");
        QTest::newRow("overlong utf-8 falls back") << QByteArray("\xC0\xAF") << QStringLiteral("À¯");
    }
    void decodeLine()
    {
        QFETCH(QByteArray, bytes);
        QTEST(codec::decodeLine(bytes), "text");
    }

    void windows1252RoundTrip()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(codec::toWindows1252(codec::fromWindows1252(all)), all);
        QCOMPARE(codec::toWindows1252(QStringLiteral("日本 😀")), QByteArray("?? ?"));
        // lines end at CR LF, CR or LF; LF CR is two breaks
        QCOMPARE(codec::splitLines("a\n\rb\r\nc\r").size(), 4);
    }
};

QTEST_GUILESS_MAIN(CodecTest)
#include "tst_codec.moc"
