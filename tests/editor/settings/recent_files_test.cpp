// The recent-files list: how it reads from the settings file, how it keeps
// its entries, and what the settings file holds after the write at exit.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "editor/settings/recent_files.h"

using mus::RecentFiles;
using mus::SettingsStore;

namespace {

const QByteArray kSevenKeys = "[Murmurscript]\n"
                              "FontName=Fixedsys\n"
                              "FontSize=10\n"
                              "FontColor=0\n"
                              "FontBold=0\n"
                              "FontItalic=0\n"
                              "WordWrap=0\n"
                              "BackColor=-2147483643\n";

const QString kLong = "/" + QString(4095, 'p'); // 4096 bytes

} // namespace

class TestRecentFiles : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

    QString IniPath() const { return home_.path() + "/Murmurscript/MUS.INI"; }

    void WriteIni(const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(IniPath()).absolutePath());
        QFile f(IniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    QByteArray ReadIni()
    {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void init()
    {
        QVERIFY(home_.isValid());
        QDir(home_.path()).removeRecursively();
        QVERIFY(QDir().mkpath(home_.path()));
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    }

    // clang-format off
    void read_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("no file") << QByteArray() << 8 << QStringList();
        QTest::newRow("limit above 9") << QByteArray("[Murmurscript]\nRecentFiles=12\nRecent1=/a\n") << 9 << QStringList{"/a"};
        QTest::newRow("limit 0 keeps none") << QByteArray("[Murmurscript]\nRecentFiles=0\nRecent1=/a\n") << 0 << QStringList();
        QTest::newRow("negative limit") << QByteArray("[Murmurscript]\nRecentFiles=-3\nRecent1=/a\n") << 0 << QStringList();
        QTest::newRow("unreadable limit") << QByteArray("[Murmurscript]\nRecentFiles=many\n") << 8 << QStringList();
        QTest::newRow("hex limit") << QByteArray("[Murmurscript]\nRecentFiles=$2\nRecent1=/a\nRecent2=/b\nRecent3=/c\n") << 2 << QStringList{"/a", "/b"};
        QTest::newRow("gap skipped") << QByteArray("[Murmurscript]\nRecent2=/b\nRecent4=/d\n") << 8 << QStringList{"/b", "/d"};
        QTest::newRow("blanks, UTF-8, no cut at 1023")
            << QByteArray("[Murmurscript]\nRecent1=/my notes/\xc3\xa4.mus\nRecent2=" + kLong.toUtf8() + "\n")
            << 8 << QStringList{QString::fromUtf8("/my notes/\xc3\xa4.mus"), kLong};
        QTest::newRow("past 4096 bytes, bad UTF-8, relative, repeated")
            << QByteArray("[Murmurscript]\nRecent1=" + kLong.toUtf8() + "p\nRecent2=/x\xff\nRecent3=notes.mus\nRecent4=/a\nRecent5=/a\n")
            << 8 << QStringList{"/a"};
        QTest::newRow("other section") << QByteArray("[Other]\nRecent1=/a\n") << 8 << QStringList();
    }
    // clang-format on

    void read()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, limit);
        QFETCH(QStringList, paths);
        if (!file.isEmpty()) WriteIni(file);
        const RecentFiles recent = mus::ReadRecentFiles(SettingsStore{});
        QCOMPARE(recent.Limit(), limit);
        QCOMPARE(recent.Paths(), paths);
    }

    void add_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("most recent first") << 8 << QStringList{"/a", "/b"} << QStringList{"/b", "/a"};
        QTest::newRow("again moves to the top") << 8 << QStringList{"/a", "/b", "/a"} << QStringList{"/a", "/b"};
        QTest::newRow("oldest goes past the limit") << 2 << QStringList{"/a", "/b", "/c"} << QStringList{"/c", "/b"};
        QTest::newRow("limit 0") << 0 << QStringList{"/a"} << QStringList();
        QTest::newRow("cleaned") << 8 << QStringList{"/x/../a", "//a"} << QStringList{"/a"};
        QTest::newRow("line break not kept") << 8 << QStringList{"/a\nb", "/a\rb"} << QStringList();
        QTest::newRow("longest kept, longer not") << 8 << QStringList{kLong, kLong + "p"} << QStringList{kLong};
    }

    void add()
    {
        QFETCH(int, limit);
        QFETCH(QStringList, added);
        QFETCH(QStringList, paths);
        RecentFiles recent(limit);
        for (const QString& path : added) recent.Add(path);
        QCOMPARE(recent.Paths(), paths);
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("first run: the seven keys") << QByteArray() << 8 << QStringList() << kSevenKeys;
        QTest::newRow("list after BackColor")
            << QByteArray() << 8 << QStringList{"/b c ", "/a&b"} << kSevenKeys + "Recent1=\"/b c \"\nRecent2=/a&b\n";
        QTest::newRow("stale keys go, RecentFiles and other sections stay")
            << QByteArray("[Other]\nRecent1=/o\n[Murmurscript]\nRecentFiles=3\nRecent2=/y\nrecent7=/z\nRecent12=/w\n"
                          "Recent1=/x\n")
            << 3 << QStringList{"/n"}
            << "[Other]\nRecent1=/o\n[Murmurscript]\nRecentFiles=3\n" + kSevenKeys.mid(15) + "Recent1=/n\n";
        QTest::newRow("empty list: all go") << QByteArray("[Murmurscript]\nRecentFiles=0\nRecent1=/x\n") << 0
                                            << QStringList() << "[Murmurscript]\nRecentFiles=0\n" + kSevenKeys.mid(15);
    }

    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, limit);
        QFETCH(QStringList, paths);
        QFETCH(QByteArray, after);
        if (!before.isEmpty()) WriteIni(before);
        RecentFiles recent(limit);
        for (auto it = paths.crbegin(); it != paths.crend(); ++it) recent.Add(*it);
        SettingsStore store;
        mus::WriteSettings(store, mus::AppearanceSettings{}, recent);
        QCOMPARE(ReadIni(), after);
        // What was written reads back as it was.
        QCOMPARE(mus::ReadRecentFiles(SettingsStore{}).Paths(), paths);
    }

    void caption()
    {
        QCOMPARE(mus::RecentEntryCaption(0, "/home/ann/notes.mus"), QString::fromUtf8("&1 notes.mus \u2014 /home/ann"));
        QCOMPARE(mus::RecentEntryCaption(8, "/R&D/a&b.txt"), QString::fromUtf8("&9 a&&b.txt \u2014 /R&&D"));
        const QString folder = "/" + QString(30, 'a') + "/" + QString(40, 'b');
        QCOMPARE(mus::RecentEntryCaption(0, folder + "/n"),
                 "&1 n \u2014 " + folder.left(20) + QChar(0x2026) + folder.right(39));
    }
};

QTEST_GUILESS_MAIN(TestRecentFiles)

#include "recent_files_test.moc"
