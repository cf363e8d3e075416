// murmurscript [FILE]: what the command line is taken to mean, what the
// program does with a command line it does not understand, and the file
// opened at start.
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolBar>

#include <sys/stat.h>

#include "editor/document/byte_document.h"
#include "editor/window/command_line.h"
#include "editor/window/main_window.h"
#include "tests/support/desktop_probe.h"
#include "tests/support/window_parts.h"

using namespace mus::test;

// Notes which of the window's bars have been painted.
class PaintWatch final : public QObject {
public:
    explicit PaintWatch(const frm_CText& window)
        : bars_{{Part<QWidget>(window, "MainMenu1"), "menu"},
                {Part<QWidget>(window, "pan_Toolbar"), "toolbar"},
                {Part<QWidget>(window, "pan_Status"), "status"}}
    {
        qApp->installEventFilter(this);
    }
    QStringList painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QString bar = bars_.value(watched);
        if (event->type() == QEvent::Paint && !bar.isEmpty() && !painted.contains(bar)) painted << bar;
        return false;
    }

private:
    QHash<QObject*, QString> bars_;
};

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", home_.filePath("config").toLocal8Bit());
    }

    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("understood");
        QTest::addColumn<QString>("path");

        QTest::newRow("nothing") << QStringList{} << true << QString();
        QTest::newRow("one file") << QStringList{"letter.mus"} << true << "letter.mus";
        QTest::newRow("full path with blanks") << QStringList{"/tmp/a b/c.txt"} << true << "/tmp/a b/c.txt";
        QTest::newRow("-- then a dashed name") << QStringList{"--", "-notes"} << true << "-notes";
        QTest::newRow("-- then a plain name") << QStringList{"--", "x"} << true << "x";
        QTest::newRow("two files") << QStringList{"a", "b"} << false << QString();
        QTest::newRow("-- then two files") << QStringList{"--", "a", "b"} << false << QString();
        QTest::newRow("-- alone") << QStringList{"--"} << false << QString();
        QTest::newRow("an option") << QStringList{"-x"} << false << QString();
        QTest::newRow("--help then a file") << QStringList{"--help", "a"} << false << QString();
        QTest::newRow("-- then --version") << QStringList{"--", "--version"} << true << "--version";
        QTest::newRow("option before a file") << QStringList{"-r", "a"} << false << QString();
        QTest::newRow("standard input") << QStringList{"-"} << false << QString();
        QTest::newRow("empty name") << QStringList{""} << false << QString();
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, understood);
        QFETCH(QString, path);
        const mus::StartRequest request = mus::ParseCommandLine(QStringList{"murmurscript"} + arguments);
        QCOMPARE(request.understood, understood);
        QCOMPARE(request.path, path);
    }

    // The program itself, with or without a display (only the toolkit's own
    // options need the window system): the help and the version on standard
    // output with status 0, a wrong command line refused with a usage line on
    // standard error and status 64; no window either way (the process ends
    // on its own).
    void programTellsAndEnds_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("output"); // its start
        const QByteArray usage = "Usage: murmurscript [FILE]\n";
        const QByteArray version = "murmurscript " MUS_VERSION "\n";
        QTest::newRow("--help") << QStringList{"--help"} << false << 0 << usage;
        QTest::newRow("--version") << QStringList{"--version"} << false << 0 << version;
        QTest::newRow("--version, display") << QStringList{"--version"} << true << 0 << version;
        QTest::newRow("--version, toolkit option")
            << QStringList{"-platform", "offscreen", "--version"} << true << 0 << version;
        QTest::newRow("--version, output full") << QStringList{"--version"} << false << 74 << QByteArray();
        QTest::newRow("two files") << QStringList{"a.mus", "b.mus"} << true << 64 << QByteArray();
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << true << 64 << QByteArray();
        QTest::newRow("no display, two files") << QStringList{"a.mus", "b.mus"} << false << 64 << QByteArray();
        QTest::newRow("no display, unknown option") << QStringList{"--frobnicate"} << false << 64 << QByteArray();
        QTest::newRow("toolkit option, then an unknown one")
            << QStringList{"-platform", "offscreen", "-x"} << true << 64 << QByteArray();
    }

    void programTellsAndEnds()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(int, status);
        QFETCH(QByteArray, output);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        if (display) environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_CONFIG_HOME", home_.filePath("config"));
        environment.insert("XDG_RUNTIME_DIR", home_.path()); // private (0700), so Qt does not complain
        program.setProcessEnvironment(environment);
        if (status == 74) program.setStandardOutputFile("/dev/full");
        program.start(QString::fromUtf8(MUS_EDITOR_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        const QByteArray error = program.readAllStandardError();
        const QByteArray out = program.readAllStandardOutput();
        QVERIFY2(status == 0 ? out.startsWith(output) : out.isEmpty(), out.constData());
        if (status == 64) QCOMPARE(error, QByteArray("Usage: murmurscript [FILE]\n"));
        if (status == 0) QCOMPARE(error, QByteArray());
    }

    // The shown window is painted, bars and all, before the file is read;
    // the file then loads under the busy cursor.
    void opensFileAtStart()
    {
        const QString path = home_.filePath("mixed.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("one\ntwo\r\nthree\rfour");
        file.close();

        mus::fake::Log log;
        mus::test::DesktopProbe probe(log);
        frm_CText window;
        PaintWatch watch(window);
        QStringList atLoad; // the bars painted when the text went in, and the cursor then
        connect(Editor(window)->document(), &QTextDocument::contentsChanged, &window, [&] {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            atLoad = QStringList(watch.painted) << (cursor && cursor->shape() == Qt::WaitCursor ? "busy" : "idle");
        });
        window.show();
        mus::OpenAtStart(window, mus::ParseCommandLine({"murmurscript", path}));
        QCOMPARE(window.Document().Text(), std::string("one\r\ntwo\r\nthree\r\nfour"));
        QCOMPARE(BytesText(window), QString(" 21 bytes"));
        QVERIFY(log.empty());
        atLoad.sort();
        QCOMPARE(atLoad, QStringList({"busy", "menu", "status", "toolbar"}));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void reportsUnreadableFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "missing.mus";
        QTest::newRow("named pipe, not waited on") << "pipe.mus";
    }

    void reportsUnreadableFile()
    {
        QFETCH(QString, name);
        const QString path = home_.filePath(name);
        if (name == "pipe.mus") QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        mus::fake::Log log;
        mus::test::DesktopProbe probe(log);
        frm_CText window;
        mus::OpenAtStart(window, mus::ParseCommandLine({"murmurscript", path}));
        QCOMPARE(log, mus::fake::Log{mus::test::ReportLine("Cannot open file " + path)});
        QCOMPARE(window.Document().TextLength(), 0);
    }

    void noFileLeavesEditorEmpty()
    {
        mus::fake::Log log;
        mus::test::DesktopProbe probe(log);
        frm_CText window;
        mus::OpenAtStart(window, mus::ParseCommandLine({"murmurscript"}));
        QCOMPARE(window.Document().TextLength(), 0);
        QVERIFY(log.empty());
    }

private:
    QTemporaryDir home_;
};

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
