// Dropping a file from a file manager onto the window opens it as Open does;
// dropping text still inserts the text.
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <sys/stat.h>

#include "editor/document/byte_document.h"
#include "editor/window/file_drop.h"
#include "editor/window/main_window.h"
#include "tests/support/desktop_probe.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/window_parts.h"

using namespace mus::test;
using mus::fake::Log;

namespace {

const char kReplace[] = "Replace existing text with the contents of the selected file?";
const Log kReplaceQuestion = {mus::fake::SoundLine(mus::AlertSound::Question),
                              mus::fake::BoxLine(mus::BoxKind::Confirm, "Yes No", kReplace)};
// The busy cursor while a file is read.
const Log kRead = {"busy cursor", "normal cursor"};

Log Concat(Log first, const Log& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::unique_ptr<QMimeData> FileData(const QList<QUrl>& urls)
{
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

struct DragOutcome {
    bool enterAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

// A drag entering `target`, moving and dropping at `pos`, as a file manager
// would deliver it, proposing a move as file managers do by default.
DragOutcome Drag(QWidget* target, const QMimeData* data, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction,
                 QPoint pos = QPoint(5, 5))
{
    DragOutcome outcome;
    QDragEnterEvent enter(pos, actions, data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    enter.ignore();
    QApplication::sendEvent(target, &enter);
    outcome.enterAccepted = enter.isAccepted();
    QDragMoveEvent move(pos, actions, data, Qt::LeftButton, Qt::NoModifier);
    move.ignore();
    QApplication::sendEvent(target, &move);
    QDropEvent drop(pos, actions, data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    drop.ignore();
    QApplication::sendEvent(target, &drop);
    outcome.dropAccepted = drop.isAccepted();
    outcome.action = drop.dropAction();
    return outcome;
}

} // namespace

class FileDropTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", home_.filePath("config").toLocal8Bit());
        path_ = home_.filePath("dropped.mus");
        QFile file(path_);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("alpha\nbeta\n");
    }

    void init()
    {
        log_.clear();
        window_ = std::make_unique<frm_CText>();
        window_->SetUser(&user_);
        mus::InstallFileDrop(*window_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanup()
    {
        window_.reset();
        QVERIFY(user_.ScriptUsedUp());
    }

    void droppedFile_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<bool>("isFile");
        const QUrl file = QUrl::fromLocalFile(home_.filePath("dropped.mus"));
        QTest::newRow("one local file") << QList<QUrl>{file} << true;
        QTest::newRow("two local files") << QList<QUrl>{file, file} << false;
        QTest::newRow("a folder") << QList<QUrl>{QUrl::fromLocalFile(home_.path())} << false;
        QTest::newRow("a web page") << QList<QUrl>{QUrl("https://example.org/a.mus")} << false;
        QTest::newRow("no urls") << QList<QUrl>{} << false;
    }

    void droppedFile()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(bool, isFile);
        const auto data = FileData(urls);
        QCOMPARE(mus::DroppedFile(data.get()), isFile ? home_.filePath("dropped.mus") : QString());
    }

    // Onto the editor, the toolbar and the status bar alike; always as a
    // copy, never a move that would let the file manager delete the file.
    void opensDroppedFileIntoEmptyEditor_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("editor") << "editor";
        QTest::newRow("toolbar") << "toolbar";
        QTest::newRow("status bar") << "status";
    }

    void opensDroppedFileIntoEmptyEditor()
    {
        QFETCH(QString, target);
        // The toolbar and the status bar take no drops themselves; the drag
        // goes on to the window behind them.
        QWidget* widget = target == "editor"
                              ? Editor(*window_)->viewport()
                              : Part<QWidget>(*window_, target == "toolbar" ? "pan_Toolbar" : "pan_Status");
        const auto data = FileData({QUrl::fromLocalFile(path_)});
        const DragOutcome outcome = Drag(widget, data.get());
        QVERIFY(outcome.enterAccepted);
        QVERIFY(outcome.dropAccepted);
        QCOMPARE(outcome.action, Qt::CopyAction);
        QTRY_COMPARE(window_->Document().Text(), std::string("alpha\r\nbeta\r\n"));
        QCOMPARE(log_, kRead);
        QCOMPARE(BytesText(*window_), QString(" 13 bytes"));
    }

    void asksBeforeReplacingText_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes replaces") << true;
        QTest::newRow("No keeps the text") << false;
    }

    void asksBeforeReplacingText()
    {
        QFETCH(bool, yes);
        window_->Document().SetText("keep me");
        user_.Script({mus::fake::Reply(yes ? mus::Answer::Yes : mus::Answer::No)});
        const auto data = FileData({QUrl::fromLocalFile(path_)});
        QVERIFY(Drag(Editor(*window_)->viewport(), data.get()).dropAccepted);
        QTRY_COMPARE(log_, yes ? Concat(kReplaceQuestion, kRead) : kReplaceQuestion);
        QTRY_COMPARE(window_->Document().Text(), std::string(yes ? "alpha\r\nbeta\r\n" : "keep me"));
    }

    void reportsUnreadableFile()
    {
        const QString missing = home_.filePath("gone.mus");
        QFile::copy(path_, missing);
        const auto data = FileData({QUrl::fromLocalFile(missing)});
        // Accepted while the file is there; gone by the time it is read.
        QVERIFY(Drag(Editor(*window_)->viewport(), data.get()).dropAccepted);
        QVERIFY(QFile::remove(missing));
        QTRY_COMPARE(log_, Concat(kRead, {ReportLine("Cannot open file " + missing)}));
        QCOMPARE(window_->Document().TextLength(), 0);
        // The window goes on working.
        QVERIFY(Drag(Editor(*window_)->viewport(), FileData({QUrl::fromLocalFile(path_)}).get()).dropAccepted);
        QTRY_COMPARE(window_->Document().TextLength(), 13);
    }

    void refusesANamedPipeAtOnce()
    {
        const QString pipe = home_.filePath("pipe.mus");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
        Drag(Editor(*window_)->viewport(), FileData({QUrl::fromLocalFile(pipe)}).get());
        QTRY_COMPARE(log_, Concat(kRead, {ReportLine("Cannot open file " + pipe)}));
        QCOMPARE(window_->Document().TextLength(), 0);
    }

    // Drags the program does not open, onto the window or the editor: not
    // accepted (the drag's cursor shows it), nothing opened, nothing inserted.
    void refusesOtherDrags_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("text"); // also carried as text, as file managers do
        QTest::addColumn<int>("actions");
        const QUrl file = QUrl::fromLocalFile(home_.filePath("dropped.mus"));
        const int copy = Qt::CopyAction;
        QTest::newRow("two files") << QList<QUrl>{file, file} << QString() << copy;
        QTest::newRow("two files with text") << QList<QUrl>{file, file} << file.toLocalFile() << copy;
        QTest::newRow("a folder") << QList<QUrl>{QUrl::fromLocalFile(home_.path())} << QString() << copy;
        QTest::newRow("a web page") << QList<QUrl>{QUrl("https://example.org/a.mus")} << "https://example.org/a.mus"
                                    << copy;
        QTest::newRow("an image") << QList<QUrl>{} << QString() << copy;
        QTest::newRow("move only") << QList<QUrl>{file} << QString() << int(Qt::MoveAction);
    }

    void refusesOtherDrags()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, text);
        QFETCH(int, actions);
        const auto data = FileData(urls);
        if (!text.isEmpty()) data->setText(text);
        if (urls.isEmpty()) data->setImageData(QImage(4, 4, QImage::Format_RGB32));
        for (QWidget* target : {static_cast<QWidget*>(window_.get()), Editor(*window_)->viewport()}) {
            const DragOutcome outcome = Drag(target, data.get(), Qt::DropActions(actions));
            QVERIFY(!outcome.enterAccepted);
            QVERIFY(!outcome.dropAccepted);
        }
        QTest::qWait(20);
        QCOMPARE(window_->Document().TextLength(), 0);
        QVERIFY(log_.empty());
    }

    void dropsTextIntoEditor()
    {
        window_->Document().SetText("ab");
        QMimeData data;
        data.setText("XY");
        QTextCursor atStart = Editor(*window_)->textCursor();
        atStart.setPosition(0);
        const QPoint pos = Editor(*window_)->cursorRect(atStart).center();
        const DragOutcome outcome = Drag(Editor(*window_)->viewport(), &data, Qt::CopyAction, pos);
        QVERIFY(outcome.dropAccepted);
        QCOMPARE(window_->Document().Text(), std::string("XYab"));
        QVERIFY(log_.empty());
    }

private:
    QTemporaryDir home_;
    QString path_;
    Log log_; // what the Open of a drop and the failure report showed, in order
    mus::fake::ScriptedUser user_{log_};
    DesktopProbe probe_{log_};
    std::unique_ptr<frm_CText> window_;
};

QTEST_MAIN(FileDropTest)
#include "file_drop_test.moc"
