#include "Doubles.h"
#include "app/Ini.h"

class IniTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    const QString file_ = dir_.filePath("settings.ini");

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray base = "[LastSettings]\r\nvlc.exe = /opt/vlc \r\nEmpty=\r\n[Settings]\r\nProtocol1=UDP\r\n";
        // clang-format off
        QTest::newRow("plain") << base << "Settings" << "Protocol1" << "UDP";
        QTest::newRow("case of section and key") << base << "lastsettings" << "VLC.EXE" << "/opt/vlc";
        QTest::newRow("empty value gives default") << base << "LastSettings" << "Empty" << "<default>";
        QTest::newRow("key of another section") << base << "Settings" << "vlc.exe" << "<default>";
        QTest::newRow("key before any section") << QByteArray("k=v\r\n[S]\r\n") << "S" << "k" << "<default>";
        QTest::newRow("first of two keys") << QByteArray("[S]\nk=1\nk=2\n") << "S" << "k" << "1";
        QTest::newRow("149 whole") << "[S]\r\nk=" + QByteArray(149, 'x') << "S" << "k" << QString(149, u'x');
        QTest::newRow("150 cut") << "[S]\r\nk=" + QByteArray(150, 'y') << "S" << "k" << QString(149, u'y');
        QTest::newRow("value with '='") << QByteArray("[S]\r\nk=a=b\r\n") << "S" << "k" << "a=b";
        QTest::newRow("windows-1252 value") << QByteArray("[S]\r\nk=M\xFCnchen\r\n") << "S" << "k" << "München";
        // clang-format on
    }
    void read()
    {
        writeFile(file_, row<QByteArray>("content"));
        QTEST(ini::ReadIniValue(row<QString>("section"), row<QString>("key"), file_, "<default>", true), "expected");
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const QByteArray fresh = "[LastSettings]\r\n\r\n\r\n[Settings]\r\n\r\n";
        // clang-format off
        QTest::newRow("missing key, end of its section") << fresh << "LastSettings" << "Protocol" << "UDP" << QByteArray("[LastSettings]\r\nProtocol=UDP\r\n\r\n\r\n[Settings]\r\n\r\n");
        QTest::newRow("missing key, last section") << fresh << "Settings" << "Protocol1" << "UDP" << QByteArray("[LastSettings]\r\n\r\n\r\n[Settings]\r\nProtocol1=UDP\r\n\r\n");
        QTest::newRow("existing key in its line") << QByteArray("; note\r\n[s]\r\nA=1\r\nKEY=old\r\nB=2\r\n") << "S" << "key" << "new" << QByteArray("; note\r\n[s]\r\nA=1\r\nkey=new\r\nB=2\r\n");
        QTest::newRow("missing section at the end") << QByteArray("[A]\nx=1") << "B" << "y" << "2" << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
        QTest::newRow("empty file") << QByteArray() << "S" << "k" << "" << QByteArray("[S]\r\nk=\r\n");
        QTest::newRow("line break in value stays one line") << QByteArray("[S]\r\n") << "S" << "k" << "a\r\n[Evil]\nb" << QByteArray("[S]\r\nk=a  [Evil] b\r\n");
        QTest::newRow("garbage lines kept byte for byte") << QByteArray("\x01\xFF\xFE\x00junk\r\n[S]\r\n\x80\x81=\r\n", 20) << "S" << "k" << "v" << QByteArray("\x01\xFF\xFE\x00junk\r\n[S]\r\n\x80\x81=\r\nk=v\r\n", 25);
        // clang-format on
    }
    void write()
    {
        writeFile(file_, row<QByteArray>("before"));
        ini::WriteIniValue(row<QString>("section"), row<QString>("key"), row<QString>("value"), file_, true);
        QTEST(readAll(file_), "after");
    }

    void missingFile()
    {
        const QString file = dir_.filePath("missing.ini");
        const auto read = [](const QString& f, bool create) { return ini::ReadIniValue("S", "k", f, "d", create); };
        QCOMPARE(read(file, false), "d");
        QVERIFY(!QFile::exists(file));
        QCOMPARE(read(file, true), "d");
        QVERIFY(QFile::exists(file) && readAll(file).isEmpty());
        // a folder where the file should be: nothing read, nothing written, nothing lost
        const QString folder = dir_.filePath("folder.ini");
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(read(folder, true), "d");
        ini::WriteIniValue("S", "k", "v", folder, true);
        QVERIFY(QFileInfo(folder).isDir());
    }
};

QTEST_GUILESS_MAIN(IniTest)
#include "tst_ini.moc"
