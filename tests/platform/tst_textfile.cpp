// Files are replaced whole, or not at all.
#include "Doubles.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

class TextFileTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void failedWriteKeepsOldFile()
    {
        const QString dir = dir_.filePath("ro");
        QVERIFY(QDir().mkpath(dir));
        const QString file = dir + "/keep.m3u";
        writeFile(file, "old");
        // the temporary file cannot be created beside the target: the old file stays whole
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        const bool rootCanWrite = QFile(dir + "/probe").open(QIODevice::WriteOnly);
        QFile::remove(dir + "/probe");
        const bool ok = textfile::writeLines(file, {"new"});
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(ok, rootCanWrite);
        QCOMPARE(readAll(file), rootCanWrite ? QByteArray("new\r\n") : QByteArray("old"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{"keep.m3u"});
    }

    void replacedThroughALink()
    {
        // a file kept elsewhere and linked here stays a link to a file of the same mode
        const QString real = dir_.filePath("real.m3u"), link = dir_.filePath("link.m3u");
        writeFile(real, "old");
        QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner);
        const QFile::Permissions mode = QFile::permissions(real);
        QVERIFY(QFile::link(real, link) && textfile::writeLines(link, {"new"}));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(real), QByteArray("new\r\n"));
        QCOMPARE(QFile::permissions(real), mode);
    }
};

QTEST_GUILESS_MAIN(TextFileTest)
#include "tst_textfile.moc"
