// The settings file: where it lies, how values read, what a write keeps and
// how a failed write is reported.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>
#include <cstdio>

#include "common/failure.h"
#include "editor/settings/settings_store.h"
#include "tests/support/file_size_limit.h"

using mus::AppearanceSettings;
using mus::SettingsStore;

namespace {

const char kChildFlag[] = "--write-defaults-to";

const QByteArray kDefaultFile = "[Murmurscript]\n"
                                "FontName=Fixedsys\n"
                                "FontSize=10\n"
                                "FontColor=0\n"
                                "FontBold=0\n"
                                "FontItalic=0\n"
                                "WordWrap=0\n"
                                "BackColor=-2147483643\n";

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll();
}

// Writes the default appearance to `path`; prints the failure, if any.
int ChildWrite(const char* path)
{
    SettingsStore store{QString::fromLocal8Bit(path)};
    try {
        mus::WriteAppearance(store, AppearanceSettings{});
    } catch (const mus::Failure& e) {
        std::fputs(e.what(), stdout);
        return 1;
    }
    return 0;
}

// Writes the defaults to `path` as a user without privileges (root passes
// every permission check, so as root the write runs in a child under
// setpriv); returns the failure message, or an empty string on success.
QString WriteUnprivileged(const QString& path)
{
    if (geteuid() != 0) {
        SettingsStore store{path};
        try {
            mus::WriteAppearance(store, AppearanceSettings{});
        } catch (const mus::Failure& e) {
            return QString::fromUtf8(e.what());
        }
        return {};
    }
    QProcess child;
    child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", QCoreApplication::applicationFilePath(),
                            kChildFlag, path});
    if (!child.waitForFinished(30000)) return "child did not finish";
    if (child.exitCode() == 0) return {};
    return QString::fromUtf8(child.readAllStandardOutput());
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

    QString IniPath() const { return home_.path() + "/Murmurscript/MUS.INI"; }

private slots:
    void init()
    {
        QVERIFY(home_.isValid());
        QDir(home_.path()).removeRecursively();
        QVERIFY(QDir().mkpath(home_.path()));
        // Other users must reach the folder for the unprivileged cases.
        QFile::setPermissions(
            home_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    }

    void defaultPathFollowsXdgConfigHome() { QCOMPARE(SettingsStore::DefaultPath(), IniPath()); }

    void parseInteger_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("decimal") << "12" << true << 12;
        QTest::newRow("plus") << "+12" << true << 12;
        QTest::newRow("minus") << "-2147483643" << true << -2147483643;
        QTest::newRow("lowest") << "-2147483648" << true << int(INT32_MIN);
        QTest::newRow("too large") << "2147483648" << false << 0;
        QTest::newRow("too small") << "-2147483649" << false << 0;
        QTest::newRow("dollar hex") << "$1f" << true << 31;
        QTest::newRow("dollar hex system colour") << "$80000005" << true << -2147483643;
        QTest::newRow("dollar hex all ones") << "$FFFFFFFF" << true << -1;
        QTest::newRow("dollar hex beyond 32 bits") << "$100000000" << false << 0;
        QTest::newRow("dollar alone") << "$" << false << 0;
        QTest::newRow("0x hex") << "0x0C" << true << 12;
        QTest::newRow("0X hex") << "0X1a" << true << 26;
        QTest::newRow("0x alone") << "0x" << false << 0;
        QTest::newRow("0x not hex") << "0xZZ" << false << 0;
        QTest::newRow("signed 0x") << "-0x10" << false << 0;
        QTest::newRow("word") << "yes" << false << 0;
        QTest::newRow("trailing letters") << "12abc" << false << 0;
        QTest::newRow("inner blank") << "1 2" << false << 0;
        QTest::newRow("sign alone") << "-" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("decimal point") << "1.5" << false << 0;
    }

    void parseInteger()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        auto parsed = mus::ParseSettingInteger(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid) QCOMPARE(*parsed, value);
    }

    void readingNeverCreatesTheFile()
    {
        SettingsStore store;
        QCOMPARE(store.Path(), IniPath());
        QCOMPARE(mus::ReadAppearance(store, AppearanceSettings{}), AppearanceSettings{});
        QVERIFY(!QFileInfo::exists(home_.path() + "/Murmurscript"));
    }

    void firstRunWritesTheSevenKeysInOrder()
    {
        SettingsStore store;
        mus::WriteAppearance(store, AppearanceSettings{});
        QCOMPARE(ReadFile(IniPath()), kDefaultFile);
    }

    // clang-format off
    void readAppearance_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bold 2 is on") << QByteArray("[Murmurscript]\nFontBold=2\n") << "bold" << "1";
        QTest::newRow("bold yes is off") << QByteArray("[Murmurscript]\nFontBold=yes\n") << "bold" << "0";
        QTest::newRow("italic 1") << QByteArray("[Murmurscript]\nFontItalic=1\n") << "italic" << "1";
        QTest::newRow("size 0x0C") << QByteArray("[Murmurscript]\nFontSize=0x0C\n") << "size" << "12";
        QTest::newRow("size bad") << QByteArray("[Murmurscript]\nFontSize=12pt\n") << "size" << "10";
        QTest::newRow("back -6 ignored") << QByteArray("[Murmurscript]\nBackColor=-6\n") << "back" << "-2147483643";
        QTest::newRow("back -5 applied") << QByteArray("[Murmurscript]\nBackColor=-5\n") << "back" << "-5";
        QTest::newRow("back rgb") << QByteArray("[Murmurscript]\nBackColor=16777215\n") << "back" << "16777215";
        QTest::newRow("colour hex") << QByteArray("[Murmurscript]\nFontColor=$FF\n") << "color" << "255";
        QTest::newRow("empty name keeps face") << QByteArray("[Murmurscript]\nFontName=\n") << "name" << "Fixedsys";
        QTest::newRow("name") << QByteArray("[Murmurscript]\nFontName=DejaVu Sans Mono\n") << "name"
                              << "DejaVu Sans Mono";
        QTest::newRow("name quoted, blanks, any case")
            << QByteArray("[ murmurSCRIPT ]\r\n  fontname =  \"Liberation Mono\"  \r\n") << "name" << "Liberation Mono";
        QTest::newRow("name UTF-8") << QByteArray("[Murmurscript]\nFontName=Schrift \xc3\xa4\n") << "name"
                                    << QString::fromUtf8("Schrift \xc3\xa4");
        QTest::newRow("name up to 1023 characters")
            << QByteArray("[Murmurscript]\nFontName=" + QByteArray(2000, 'n') + "\n") << "name"
            << QString(1023, 'n');
        QTest::newRow("word wrap 1") << QByteArray("[Murmurscript]\nWordWrap=1\n") << "wrap" << "1";
        QTest::newRow("word wrap 0") << QByteArray("[Murmurscript]\nWordWrap=0\n") << "wrap" << "0";
        QTest::newRow("first of two keys") << QByteArray("[Murmurscript]\nFontSize=14\nFontSize=20\n") << "size"
                                           << "14";
        QTest::newRow("first of two sections")
            << QByteArray("[Murmurscript]\nFontSize=14\n[Murmurscript]\nFontSize=20\n") << "size" << "14";
        QTest::newRow("key of another section")
            << QByteArray("[Other]\nFontSize=14\n[Murmurscript]\nExtra=1\n") << "size" << "10";
        QTest::newRow("commented key") << QByteArray("[Murmurscript]\n;FontSize=14\n") << "size" << "10";
        QTest::newRow("no section") << QByteArray("FontSize=14\n") << "size" << "10";
        QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbf[Murmurscript]\r\nFontSize=14\r\n") << "size"
                                         << "14";
    }
    // clang-format on

    void readAppearance()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        WriteFile(IniPath(), file);
        const AppearanceSettings a = mus::ReadAppearance(SettingsStore{}, AppearanceSettings{});
        const QMap<QString, QString> fields{
            {"name", a.fontName},
            {"size", QString::number(a.fontSize)},
            {"color", QString::number(a.fontColor)},
            {"bold", QString::number(a.fontBold)},
            {"italic", QString::number(a.fontItalic)},
            {"wrap", QString::number(a.wordWrap)},
            {"back", QString::number(a.backColor)},
        };
        QCOMPARE(fields.value(field), expected);
        // Nothing else changes.
        AppearanceSettings others = a;
        AppearanceSettings defaults;
        for (auto* s : {&others, &defaults}) {
            if (field == "name") s->fontName.clear();
            if (field == "size") s->fontSize = 0;
            if (field == "color") s->fontColor = 0;
            if (field == "bold") s->fontBold = false;
            if (field == "italic") s->fontItalic = false;
            if (field == "wrap") s->wordWrap = false;
            if (field == "back") s->backColor = 0;
        }
        QCOMPARE(others, defaults);
    }

    void forgetDelays_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("clipboard");
        QTest::addColumn<int>("idle");
        const auto keys = [](const char* clipboard, const char* idle) {
            return "[Murmurscript]\nClipboardClearSeconds=" + QByteArray(clipboard) + "\nHideAfterIdleSeconds=" + idle +
                   "\n";
        };
        QTest::newRow("missing") << QByteArray("[Murmurscript]\nFontSize=12\n") << 30 << 600;
        QTest::newRow("set") << keys("5", "$3C") << 5 << 60;
        QTest::newRow("zero is never") << keys("0", "0") << 0 << 0;
        QTest::newRow("negative") << keys("-1", "-600") << 30 << 600;
        QTest::newRow("unreadable") << keys("soon", "10s") << 30 << 600;
    }

    // Read, and left alone by the write at exit, which writes only the seven keys.
    void forgetDelays()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, clipboard);
        QFETCH(int, idle);
        WriteFile(IniPath(), file);
        SettingsStore store;
        QCOMPARE(mus::ReadForgetDelays(store), (mus::ForgetDelays{clipboard, idle}));
        mus::WriteAppearance(store, AppearanceSettings{});
        QCOMPARE(mus::ReadForgetDelays(SettingsStore{}), (mus::ForgetDelays{clipboard, idle}));
    }

    void writeAndReadBack_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "DejaVu Sans Mono";
        QTest::newRow("blanks around") << " Mono ";
        QTest::newRow("in double quotes") << "\"Mono\"";
        QTest::newRow("in single quotes") << "'Mono'";
        QTest::newRow("one quote") << "\"Mono";
    }

    void writeAndReadBack()
    {
        QFETCH(QString, name);
        AppearanceSettings a;
        a.fontName = name;
        a.fontSize = 14;
        a.fontColor = 0x00FF8040;
        a.fontBold = true;
        a.fontItalic = true;
        a.wordWrap = true;
        a.backColor = 0x00101010;
        SettingsStore store;
        mus::WriteAppearance(store, a);
        QCOMPARE(mus::ReadAppearance(SettingsStore{}, AppearanceSettings{}), a);
        QCOMPARE(mus::ReadAppearance(store, AppearanceSettings{}), a);
    }

    void writeKeepsEverythingElse_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("keys in place, new keys at the section's end, other content untouched")
            << QByteArray("; settings of several programs\n"
                          "[Other]\n"
                          "FontSize=99\n"
                          "\n"
                          "[murmurscript]\n"
                          "; chosen by hand\n"
                          "  fontsize = 14  \n"
                          "Extra=kept\n"
                          "BackColor=1\n"
                          "\n"
                          "[Last]\n"
                          "x=y")
            << QByteArray("; settings of several programs\n"
                          "[Other]\n"
                          "FontSize=99\n"
                          "\n"
                          "[murmurscript]\n"
                          "; chosen by hand\n"
                          "FontSize=10\n"
                          "Extra=kept\n"
                          "BackColor=-2147483643\n"
                          "FontName=Fixedsys\n"
                          "FontColor=0\n"
                          "FontBold=0\n"
                          "FontItalic=0\n"
                          "WordWrap=0\n"
                          "\n"
                          "[Last]\n"
                          "x=y\n");
        QTest::newRow("section appended, CR LF kept")
            << QByteArray("[Other]\r\na=b")
            << QByteArray("[Other]\r\na=b\r\n" + QByteArray(kDefaultFile).replace("\n", "\r\n"));
        QTest::newRow("empty file") << QByteArray() << kDefaultFile;
        QTest::newRow("byte-order mark kept, section found")
            << QByteArray("\xef\xbb\xbf[Murmurscript]\nFontName=Fixedsys\nFontSize=10\nFontColor=0\nFontBold=1\n")
            << QByteArray("\xef\xbb\xbf" + kDefaultFile);
    }

    void writeKeepsEverythingElse()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        WriteFile(IniPath(), before);
        SettingsStore store;
        mus::WriteAppearance(store, AppearanceSettings{});
        QCOMPARE(ReadFile(IniPath()), after);
    }

    void writeStartsFromTheFileOnDisk()
    {
        SettingsStore store; // no file yet
        WriteFile(IniPath(), "[Other]\nwritten=meanwhile\n");
        mus::WriteAppearance(store, AppearanceSettings{});
        QCOMPARE(ReadFile(IniPath()), "[Other]\nwritten=meanwhile\n" + kDefaultFile);
    }

    void writeKeepsPermissions()
    {
        WriteFile(IniPath(), "[Murmurscript]\n");
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QVERIFY(QFile::setPermissions(IniPath(), mode));
        SettingsStore store;
        mus::WriteAppearance(store, AppearanceSettings{});
        QCOMPARE(QFileInfo(IniPath()).permissions(), mode);
    }

    void writeGoesThroughASymbolicLink()
    {
        const QString target = home_.path() + "/elsewhere/real.ini";
        WriteFile(target, "; mine\n");
        QVERIFY(QDir().mkpath(home_.path() + "/Murmurscript"));
        QVERIFY(QFile::link(target, IniPath()));
        SettingsStore store;
        mus::WriteAppearance(store, AppearanceSettings{});
        QVERIFY(QFileInfo(IniPath()).isSymLink());
        QCOMPARE(ReadFile(target), "; mine\n" + kDefaultFile);
    }

    void unwritableFolderIsReported()
    {
        // A regular file where the folder should be stops root as well.
        WriteFile(home_.path() + "/Murmurscript", "not a folder");
        SettingsStore store;
        try {
            mus::WriteAppearance(store, AppearanceSettings{});
            QFAIL("the write did not fail");
        } catch (const mus::Failure& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QString("Unable to write to MUS.INI"));
        }
    }

    void fullDiskKeepsTheOldFile()
    {
        // A file size limit stops the write part way, as a full disk would.
        const QByteArray old = "[Murmurscript]\nFontSize=20\n";
        WriteFile(IniPath(), old);
        QString message;
        {
            mus::test::FileSizeLimit limit(40);
            QVERIFY(limit.Active());
            try {
                SettingsStore store;
                mus::WriteAppearance(store, AppearanceSettings{});
            } catch (const mus::Failure& e) {
                message = QString::fromUtf8(e.what());
            }
        }
        QCOMPARE(message, QString("Unable to write to MUS.INI"));
        QCOMPARE(ReadFile(IniPath()), old);
        QCOMPARE(QDir(home_.path() + "/Murmurscript").entryList(QDir::Files), QStringList({"MUS.INI"}));
    }

    void unwritableFileIsReportedAndKept()
    {
        const QByteArray old = "[Murmurscript]\nFontSize=20\n";
        WriteFile(IniPath(), old);
        QVERIFY(QFile::setPermissions(IniPath(), QFile::ReadOwner | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(home_.path() + "/Murmurscript",
                                      QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        const QString message = WriteUnprivileged(IniPath());
        QFile::setPermissions(home_.path() + "/Murmurscript", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(message, QString("Unable to write to MUS.INI"));
        QCOMPARE(ReadFile(IniPath()), old);
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], kChildFlag) == 0) return ChildWrite(argv[2]);
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "settings_store_test.moc"
