// Font, Text Color, Background Color and Word Wrap, and the appearance as the
// settings file carries it from one run of the window to the next.
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "editor/settings/settings_store.h"
#include "editor/window/main_window.h"
#include "tests/support/desktop_probe.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/window_parts.h"

using namespace mus::test;

namespace {

constexpr std::int32_t kWindowBackground = -2147483643;

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll();
}

QByteArray Keys(const char* name, int size, int color, int bold, int italic, int wrap, int back)
{
    return QStringLiteral("[Murmurscript]\nFontName=%1\nFontSize=%2\nFontColor=%3\nFontBold=%4\nFontItalic=%5\n"
                          "WordWrap=%6\nBackColor=%7\n")
        .arg(QString::fromLatin1(name))
        .arg(size)
        .arg(color)
        .arg(bold)
        .arg(italic)
        .arg(wrap)
        .arg(back)
        .toUtf8();
}

} // namespace

class AppearanceTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    mus::fake::Log log_; // the failure reports
    DesktopProbe probe_{log_};
    ModalAnswerer answer_;
    std::unique_ptr<frm_CText> window_;

    frm_CText& W() { return *window_; }
    QString IniPath() const { return config_.path() + "/Murmurscript/MUS.INI"; }
    QColor Shown(QPalette::ColorRole role) { return Editor(W())->palette().color(role); }
    QColor Desktop(QPalette::ColorRole role) { return QApplication::palette(Editor(W())).color(role); }

    void Start()
    {
        window_ = std::make_unique<frm_CText>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    void Restart()
    {
        window_->close();
        window_.reset(); // FormDestroy writes the settings
        Start();
    }

    void WriteIni(const QByteArray& bytes)
    {
        QVERIFY(QDir().mkpath(config_.path() + "/Murmurscript"));
        QFile f(IniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    void ChooseFont(const QFont& font, bool accept = true)
    {
        answer_.Add<QFontDialog>([font, accept](QFontDialog* d) {
            d->setCurrentFont(font);
            accept ? d->accept() : d->reject();
        });
    }

    void ChooseColor(const QColor& color, bool accept = true)
    {
        answer_.Add<QColorDialog>([color, accept](QColorDialog* d) {
            if (color.isValid()) d->setCurrentColor(color);
            accept ? d->accept() : d->reject();
        });
    }

    bool Wraps()
    {
        return MenuItem(W(), "WordWrap1")->isChecked() && Editor(W())->lineWrapMode() == QPlainTextEdit::WidgetWidth &&
               Editor(W())->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        QApplication::setApplicationName("Murmurscript");
    }

    void init()
    {
        QDir(config_.path() + "/Murmurscript").removeRecursively();
        QFile::remove(config_.path() + "/Murmurscript");
        log_.clear();
    }

    void cleanup()
    {
        window_.reset();
        QCOMPARE(answer_.Leftover(), 0);
    }

    void firstRunShowsTheDesignAndLeavesTheSevenKeys()
    {
        Start();
        QCOMPARE(Editor(W())->font().family(), "Fixedsys");
        QCOMPARE(Editor(W())->font().pixelSize(), 13);
        QVERIFY(!Editor(W())->font().bold());
        QVERIFY(!Editor(W())->font().italic());
        QVERIFY(!MenuItem(W(), "WordWrap1")->isChecked());
        QCOMPARE(Editor(W())->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(Shown(QPalette::Base), Desktop(QPalette::Base));
        QCOMPARE(Shown(QPalette::Text), Desktop(QPalette::Text));
        QVERIFY(!QFileInfo::exists(config_.path() + "/Murmurscript")); // reading created nothing
        window_.reset();
        QCOMPARE(ReadBytes(IniPath()), Keys("Fixedsys", 10, 0, 0, 0, 0, kWindowBackground));
        QVERIFY(log_.empty());
    }

    void storedValuesApply()
    {
        WriteIni("[Murmurscript]\nFontName=DejaVu Sans Mono\nFontSize=0x0C\nFontColor=$FF\nFontBold=2\n"
                 "FontItalic=yes\nWordWrap=1\nBackColor=-6\n");
        Start();
        const QFont font = Editor(W())->font();
        QCOMPARE(font.family(), "DejaVu Sans Mono");
        QCOMPARE(font.pointSize(), 12);
        QVERIFY(font.bold());
        QVERIFY(!font.italic());
        QVERIFY(Wraps());
        QCOMPARE(Shown(QPalette::Base), Desktop(QPalette::Base));
        QCOMPARE(Shown(QPalette::Text), QColor(255, 0, 0));
        window_.reset();
        QCOMPARE(ReadBytes(IniPath()), Keys("DejaVu Sans Mono", 12, 255, 1, 0, 1, kWindowBackground));
    }

    void unusableValuesKeepTheDesign()
    {
        WriteIni("[Murmurscript]\nFontName=\nFontSize=0\nFontColor=red\nBackColor=$FFFFFF\n");
        Start();
        QCOMPARE(Editor(W())->font().family(), "Fixedsys");
        QCOMPARE(Editor(W())->font().pixelSize(), 13);
        QCOMPARE(Shown(QPalette::Base), QColor(Qt::white));
        // Black text that was asked for on a colour of its own stays black.
        QCOMPARE(Shown(QPalette::Text), QColor(Qt::black));
        window_.reset();
        QVERIFY(ReadBytes(IniPath()).contains("\nFontColor=0\n"));
    }

    void choicesSurviveARestart()
    {
        Start();
        QFont wanted("DejaVu Serif", 40);
        wanted.setBold(true);
        wanted.setUnderline(true);
        wanted.setStrikeOut(true);
        ChooseFont(wanted);
        MenuItem(W(), "Font1")->trigger();
        QFont font = Editor(W())->font();
        QCOMPARE(font.family(), "DejaVu Serif");
        QCOMPARE(font.pointSize(), 32); // the dialog's largest size
        QVERIFY(font.bold());
        QVERIFY(!font.underline());
        QVERIFY(!font.strikeOut());

        ChooseColor(QColor(255, 0, 0));
        MenuItem(W(), "TextColor1")->trigger();
        ChooseColor(QColor(0, 0, 128));
        MenuItem(W(), "BackgroundColor1")->trigger();
        QCOMPARE(Shown(QPalette::Base), QColor(0, 0, 128));
        QCOMPARE(Shown(QPalette::Text), QColor(255, 0, 0));
        MenuItem(W(), "WordWrap1")->trigger();
        QVERIFY(Wraps());

        Restart();
        QCOMPARE(ReadBytes(IniPath()), Keys("DejaVu Serif", 32, 255, 1, 0, 1, 0x800000));
        font = Editor(W())->font();
        QCOMPARE(font.family(), "DejaVu Serif");
        QCOMPARE(font.pointSize(), 32);
        QVERIFY(font.bold());
        QVERIFY(!font.underline());
        QCOMPARE(Shown(QPalette::Base), QColor(0, 0, 128));
        QCOMPARE(Shown(QPalette::Text), QColor(255, 0, 0));
        QVERIFY(Wraps());

        ChooseFont(QFont("DejaVu Sans Mono", 4));
        MenuItem(W(), "Font1")->trigger();
        QCOMPARE(Editor(W())->font().pointSize(), 6); // the dialog's smallest size
        QVERIFY(log_.empty());
    }

    // The dialog opens on the face and style the editor draws, so OK
    // without a change keeps the font: design name, size and style.
    void fontDialogOkWithoutChangeKeepsTheFont_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::newRow("design face") << QByteArray();
        QTest::newRow("installed face") << Keys("DejaVu Sans Mono", 12, 0, 0, 0, 0, kWindowBackground);
        QTest::newRow("bold") << Keys("DejaVu Serif", 14, 0, 1, 0, 0, kWindowBackground);
        QTest::newRow("design face, italic") << Keys("Fixedsys", 10, 0, 0, 1, 0, kWindowBackground);
        // A face with one style only: bold and italic are drawn by slanting
        // and thickening it, and the dialog offers just that one style.
        QTest::newRow("face without bold or italic styles")
            << Keys("DejaVu Math TeX Gyre", 12, 0, 1, 1, 0, kWindowBackground);
    }

    void fontDialogOkWithoutChangeKeepsTheFont()
    {
        QFETCH(QByteArray, ini);
        if (!ini.isEmpty()) WriteIni(ini);
        Start();
        const QFont before = Editor(W())->font();
        QString offered;
        answer_.Add<QFontDialog>([&offered](QFontDialog* d) {
            offered = d->currentFont().family();
            d->accept();
        });
        MenuItem(W(), "Font1")->trigger();
        QCOMPARE(offered, QFontInfo(before).family());
        QCOMPARE(Editor(W())->font(), before);
        window_.reset();
        QCOMPARE(ReadBytes(IniPath()), ini.isEmpty() ? Keys("Fixedsys", 10, 0, 0, 0, 0, kWindowBackground) : ini);
    }

    void cancelOrTheSameColourChangesNothing()
    {
        Start();
        const QFont before = Editor(W())->font();
        const QPalette palette = Editor(W())->palette();
        ChooseFont(QFont("DejaVu Sans Mono", 20), false);
        MenuItem(W(), "Font1")->trigger();
        ChooseColor(QColor(1, 2, 3), false);
        MenuItem(W(), "TextColor1")->trigger();
        ChooseColor(QColor(1, 2, 3), false);
        MenuItem(W(), "BackgroundColor1")->trigger();
        // Accepting the colour already shown keeps the desktop's colour.
        ChooseColor(QColor());
        MenuItem(W(), "BackgroundColor1")->trigger();
        ChooseColor(QColor());
        MenuItem(W(), "TextColor1")->trigger();
        QCOMPARE(Editor(W())->font(), before);
        QCOMPARE(Editor(W())->palette(), palette);
        window_.reset();
        QCOMPARE(ReadBytes(IniPath()), Keys("Fixedsys", 10, 0, 0, 0, 0, kWindowBackground));
    }

    void darkDesktopShowsLightDefaultText()
    {
        const QPalette original = QApplication::palette();
        QPalette dark = original;
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(220, 220, 220));
        QApplication::setPalette(dark);
        Start();
        const QColor base = Shown(QPalette::Base);
        const QColor text = Shown(QPalette::Text);
        window_.reset();
        QApplication::setPalette(original);
        QCOMPARE(base, QColor(30, 30, 30));
        QCOMPARE(text, QColor(220, 220, 220));
        QCOMPARE(ReadBytes(IniPath()), Keys("Fixedsys", 10, 0, 0, 0, 0, kWindowBackground));
    }

    void wordWrapTwiceRestoresScrolling()
    {
        Start();
        MenuItem(W(), "WordWrap1")->trigger();
        QVERIFY(Wraps());
        MenuItem(W(), "WordWrap1")->trigger();
        QVERIFY(!MenuItem(W(), "WordWrap1")->isChecked());
        QCOMPARE(Editor(W())->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(Editor(W())->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(Editor(W())->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    void unwritableSettingsAreReported()
    {
        // A file where the folder should be: no user can write there.
        QFile blocker(config_.path() + "/Murmurscript");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Start();
        window_.reset();
        QCOMPARE(log_, mus::fake::Log{ReportLine("Unable to write to MUS.INI")});
    }
};

QTEST_MAIN(AppearanceTest)
#include "appearance_test.moc"
