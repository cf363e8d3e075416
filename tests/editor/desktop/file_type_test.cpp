// The shared-mime-info type that the package installs: which files a desktop
// recognises as Murmurscript documents, and that the desktop entry and the
// AppStream data claim that very type.
#include <QFile>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kStartLine = "********************** START  Murmurscript **********************";
const QByteArray kBlock = kStartLine + "\r\nMuS/0120/01/0/3\r\nCx2uq\r\nMuS/882\r\n"
                                       "**********************  END   Murmurscript **********************\r\n";

QByteArray ReadSource(const char* path)
{
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", path);
    return file.readAll();
}

QString TypeNameIn(const QByteArray& xml)
{
    const auto match = QRegularExpression("<mime-type type=\"([^\"]+)\"").match(QString::fromUtf8(xml));
    return match.captured(1);
}

} // namespace

class FileTypeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void recognises_data();
    void recognises();
    void typeDescribesItself();
    void desktopEntryAndAppStreamClaimTheType();

private:
    QTemporaryDir data_dir_;
    QTemporaryDir files_;
};

void FileTypeTest::initTestCase()
{
    QVERIFY(data_dir_.isValid());
    QVERIFY(files_.isValid());
    // Qt reads the package XML directly from <data dir>/mime/packages when that
    // data dir has no compiled mime.cache; it must be in place before the
    // database is first used in this process. The base types come from the
    // system's freedesktop.org.xml (shared-mime-info, which Qt depends on); the
    // system's own data dirs stay out, so an installed copy of our type cannot
    // stand in for the one under test.
    QVERIFY(QDir(data_dir_.path()).mkpath("mime/packages"));
    QVERIFY(QFile::copy(QString::fromUtf8(MUS_MIME_XML), data_dir_.filePath("mime/packages/murmurscript.xml")));
    QVERIFY(QFile::copy("/usr/share/mime/packages/freedesktop.org.xml",
                        data_dir_.filePath("mime/packages/freedesktop.org.xml")));
    qputenv("XDG_DATA_HOME", data_dir_.path().toUtf8());
    qputenv("XDG_DATA_DIRS", data_dir_.path().toUtf8());
}

void FileTypeTest::recognises_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    const QString ours = "text/x-murmurscript";
    QTest::newRow("block saved as .mus") << "letter.mus" << kBlock << ours;
    QTest::newRow("any text saved as .mus") << "notes.mus" << QByteArray("Just text.\r\n") << ours;
    QTest::newRow("upper-case extension") << "LETTER.MUS" << kBlock << ours;
    QTest::newRow("block without extension") << "letter" << kBlock << ours;
    QTest::newRow("block with unknown extension") << "letter.blk" << kBlock << ours;
    QTest::newRow("block after a preface")
        << "mail" << QByteArray("Dear Bob,\r\n\r\nhere it is:\r\n\r\n") + kBlock << ours;
    QTest::newRow("LF line breaks") << "unix" << QByteArray(kBlock).replace("\r\n", "\n") << ours;
    QTest::newRow("plain text") << "hello" << QByteArray("Hello, world.\n") << "text/plain";
    QTest::newRow("START line with one blank")
        << "near" << QByteArray(kBlock).replace("START  Murmurscript", "START Murmurscript") << "text/plain";
    QTest::newRow("START line past the first kilobyte")
        << "late" << QByteArray(1100, 'x') + "\r\n" + kBlock << "text/plain";
}

void FileTypeTest::recognises()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString path = files_.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
    file.close();
    QCOMPARE(QMimeDatabase().mimeTypeForFile(path).name(), expected);
}

void FileTypeTest::typeDescribesItself()
{
    const QMimeType type = QMimeDatabase().mimeTypeForName("text/x-murmurscript");
    QVERIFY(type.isValid());
    QCOMPARE(type.comment(), QString("Murmurscript document"));
    QVERIFY(type.inherits("text/plain"));
    QCOMPARE(type.preferredSuffix(), QString("mus"));
}

void FileTypeTest::desktopEntryAndAppStreamClaimTheType()
{
    const QString type = TypeNameIn(ReadSource(MUS_MIME_XML));
    QCOMPARE(type, QString("text/x-murmurscript"));

    const QString desktop = QString::fromUtf8(ReadSource(MUS_DESKTOP_ENTRY));
    const auto mime_line = QRegularExpression("^MimeType=(.*)$", QRegularExpression::MultilineOption).match(desktop);
    QVERIFY(mime_line.hasMatch());
    QVERIFY(mime_line.captured(1).split(';', Qt::SkipEmptyParts).contains(type));
    // %f hands the program one file, which is all its command line accepts.
    QVERIFY(desktop.contains(QRegularExpression("^Exec=murmurscript %f$", QRegularExpression::MultilineOption)));

    const QString metainfo = QString::fromUtf8(ReadSource(MUS_METAINFO));
    QVERIFY(metainfo.contains("<mediatype>" + type + "</mediatype>"));
    QVERIFY(metainfo.contains("<launchable type=\"desktop-id\">murmurscript.desktop</launchable>"));
    QVERIFY(metainfo.contains("<project_license>GPL-3.0-or-later</project_license>"));
}

QTEST_GUILESS_MAIN(FileTypeTest)
#include "file_type_test.moc"
