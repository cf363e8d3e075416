// New, Open, Save, Exit and the edit commands, through the window's menu
// items, shortcuts and toolbar buttons, with real file dialogs answered as
// they show and the scripted user in place of the window's boxes and sounds.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "cipher/errors.h"
#include "editor/document/byte_document.h"
#include "editor/document/document_file.h"
#include "editor/window/main_window.h"
#include "editor/window/reader_page.h"
#include "tests/support/desktop_probe.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/window_parts.h"

using namespace std::string_literals;
using namespace mus::test;
using mus::BoxKind;
using mus::fake::BoxLine;
using mus::fake::Log;

Q_DECLARE_METATYPE(std::string)

namespace {

const char kChildFlag[] = "--write-document";

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// What a file dialog looked like when it opened.
struct DialogSeen {
    QString objectName;
    QString title;
    QString filter;
    QString fileName;
    QStringList filters;
    QString suffix;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    bool confirmsOverwrite = false;
    bool refused = false;
};

// The user a save runs as: setpriv's options, or nothing for this process.
const QStringList kThisUser;
const QStringList kNobody = {"--reuid=65534", "--regid=65534", "--clear-groups"};

// Writes `bytes` to `path` as the document file writer does, under a file
// size limit of `limit` bytes (0: none); the failure message, or an empty
// string. As root, which passes every permission check, the write runs as
// `user` in a child process.
QString WriteAs(const QStringList& user, const QString& path, const QByteArray& bytes, int limit = 0)
{
    if (user.isEmpty() || geteuid() != 0) {
        std::optional<mus::test::FileSizeLimit> sizeLimit;
        if (limit > 0) sizeLimit.emplace(rlim_t(limit));
        try {
            mus::WriteDocumentFile(path, bytes.toStdString());
        } catch (const mus::Failure& e) {
            return QString::fromUtf8(e.what());
        }
        return {};
    }
    QProcess child;
    child.start("setpriv", user + QStringList{QCoreApplication::applicationFilePath(), kChildFlag, path,
                                              QString::fromLatin1(bytes.toHex()), QString::number(limit)});
    if (!child.waitForFinished(30000)) return "child did not finish";
    if (child.exitCode() == 0) return {};
    return QString::fromUtf8(child.readAllStandardOutput());
}

int ChildWrite(const char* path, const char* hex, const char* limit)
{
    const QString message = WriteAs(kThisUser, QString::fromLocal8Bit(path), QByteArray::fromHex(hex),
                                    std::atoi(limit));
    std::fputs(qPrintable(message), stdout);
    return message.isEmpty() ? 0 : 1;
}

const char kKilledFlag[] = "--killed-save";

// Makes every open with O_TMPFILE fail as on a file system without it.
bool RefuseUnnamedFiles()
{
    const std::uint32_t argument = offsetof(seccomp_data, args[2]) + (BYTE_ORDER == BIG_ENDIAN ? 4 : 0);
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argument),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0) == 0;
}

// Saves 64 KiB to `path` under a file size limit of 4 KiB whose signal ends
// the process mid-write, as a kill would; "named": where unnamed files
// cannot be made. Returns only when the save was not killed.
int KilledSave(const char* path, const char* kind)
{
    const rlimit noCore{0, 0};
    const rlimit small{4096, 4096};
    // Not dumpable, as the program is: its /proc/self/fd is root's then.
    if (::setrlimit(RLIMIT_CORE, &noCore) != 0 || ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0 ||
        (qstrcmp(kind, "named") == 0 && !RefuseUnnamedFiles()))
        return 2;
    std::signal(SIGXFSZ, SIG_DFL);
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) return 2;
    mus::WriteDocumentFile(QString::fromLocal8Bit(path), std::string(1 << 16, 'x'));
    return 1;
}

struct stat StatOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

constexpr QFile::Permissions kReadOnly = QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions kReadWrite = kReadOnly | QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup |
                                          QFile::WriteOther;
constexpr QFile::Permissions kFolderReadOnly = kReadOnly | QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup |
                                               QFile::ExeOther;
constexpr QFile::Permissions kFolderOpen = kFolderReadOnly | QFile::WriteOwner | QFile::WriteUser;

const std::string kStop = mus::fake::SoundLine(mus::AlertSound::Stop);
const std::string kQuestion = mus::fake::SoundLine(mus::AlertSound::Question);
const char kReplace[] = "Replace existing text with the contents of the selected file?";
// The busy cursor while a file is read.
const Log kRead = {"busy cursor", "normal cursor"};

} // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QString dir_; // a fresh folder for each test's files
    Log log_;     // what the commands and the failure report showed, in order
    mus::fake::ScriptedUser user_{log_};
    DesktopProbe probe_{log_};
    ModalAnswerer answer_;
    std::unique_ptr<frm_CText> window_;

    frm_CText& W() { return *window_; }
    std::string Text() { return W().Document().Text(); }

    void SetText(const std::string& text)
    {
        W().Document().SetText(text);
        log_.clear();
    }

    // Answers the next file dialog with `path`, or cancels it when `path` is
    // empty; `before` runs on the open dialog first.
    std::shared_ptr<DialogSeen> AnswerFileDialog(const QString& path, std::function<void(QFileDialog*)> before = {})
    {
        auto seen = std::make_shared<DialogSeen>();
        answer_.Add<QFileDialog>([seen, path, before](QFileDialog* d) {
            seen->objectName = d->objectName();
            seen->title = d->windowTitle();
            seen->filter = d->selectedNameFilter();
            seen->fileName = d->findChild<QLineEdit*>("fileNameEdit")->text();
            seen->filters = d->nameFilters();
            seen->suffix = d->defaultSuffix();
            seen->mode = d->acceptMode();
            seen->fileMode = d->fileMode();
            seen->confirmsOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
            if (before) before(d);
            if (path.isEmpty()) {
                d->reject();
                return;
            }
            // As typed: selectFile() leaves the name field alone while it has the focus.
            d->findChild<QLineEdit*>("fileNameEdit")->setText(path);
            static_cast<QDialog*>(d)->accept(); // QFileDialog::accept, protected there
            if (d->isVisible()) {               // the dialog refused the name: do not hang
                seen->refused = true;
                d->reject();
            }
        });
        return seen;
    }

    // Says Yes to the file dialog's question whether to replace a file.
    void ConfirmReplace()
    {
        answer_.Add<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    }

    void Select(int from, int to)
    {
        QTextCursor cursor = Editor(W())->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        Editor(W())->setTextCursor(cursor);
    }

    QString File(const QString& name) const { return dir_ + '/' + name; }

private slots:
    void initTestCase()
    {
        QVERIFY(home_.isValid());
        QFile::setPermissions(home_.path(), kFolderReadOnly | QFile::WriteOwner);
        qputenv("HOME", home_.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home_.path() + "/config").toLocal8Bit());
        QApplication::setApplicationName("Murmurscript");
    }

    void init()
    {
        static int n = 0;
        dir_ = home_.path() + QStringLiteral("/t%1").arg(++n);
        QVERIFY(QDir().mkpath(dir_));
        log_.clear();
        window_ = std::make_unique<frm_CText>();
        window_->SetUser(&user_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    void cleanup()
    {
        window_.reset();
        QVERIFY(user_.ScriptUsedUp());
        QCOMPARE(answer_.Leftover(), 0);
    }

    // ---- New --------------------------------------------------------------

    void newAsksOnlyWhenThereIsText()
    {
        ToolButton(W(), "btn_New")->click();
        QVERIFY(log_.empty());

        SetText("abc");
        user_.Script({mus::fake::Reply(mus::Answer::No)});
        MenuItem(W(), "New1")->trigger();
        QCOMPARE(Text(), "abc"s);
        QCOMPARE(log_, (Log{kQuestion, BoxLine(BoxKind::Confirm, "Yes No", "Clear text for new document?")}));

        SetText("MuS/1\r\nMuS/2");
        user_.Script({mus::fake::Reply(mus::Answer::Yes)});
        QTest::keyClick(Editor(W()), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(Text(), ""s);
        QCOMPARE(BytesText(W()), " 0 bytes");
        QCOMPARE(TextType(W()), " Normal Text");
    }

    // ---- Open -------------------------------------------------------------

    void openMakesLineBreaksCrLf_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<std::string>("text");
        QTest::newRow("LF only") << QByteArray("one\ntwo\n") << "one\r\ntwo\r\n"s;
        QTest::newRow("CR only") << QByteArray("one\rtwo") << "one\r\ntwo"s;
        QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd\r\n") << "a\r\nb\r\nc\r\nd\r\n"s;
        QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << "a\r\n\r\nb"s;
        QTest::newRow("empty file") << QByteArray() << ""s;
        // The file is read a mebibyte at a time.
        const QByteArray piece(1 << 20, 'a');
        QTest::newRow("CR LF across two reads")
            << piece.left(piece.size() - 1) + "\r\nb" << piece.left(piece.size() - 1).toStdString() + "\r\nb";
        QTest::newRow("lone CR at the end of a read")
            << piece.left(piece.size() - 1) + "\rb\r" << piece.left(piece.size() - 1).toStdString() + "\r\nb\r\n";
        QTest::newRow("lines across reads")
            << piece.left(700000) + '\n' + piece.left(700000) + '\n' + piece.left(700000)
            << piece.left(700000).toStdString() + "\r\n" + piece.left(700000).toStdString() + "\r\n" +
                   piece.left(700000).toStdString();
    }

    void openMakesLineBreaksCrLf()
    {
        QFETCH(QByteArray, file);
        QFETCH(std::string, text);
        WriteBytes(File("in.txt"), file);
        auto seen = AnswerFileDialog(File("in.txt"));
        MenuItem(W(), "OpenFile1")->trigger();
        QCOMPARE(Text(), text);
        QCOMPARE(log_, kRead);
        QCOMPARE(BytesText(W()), QStringLiteral(" %1 byte%2").arg(text.size()).arg(text.size() == 1 ? "" : "s"));
        QCOMPARE(seen->objectName, "OpenDialog1");
        QCOMPARE(seen->title, "Open File");
        QCOMPARE(seen->mode, QFileDialog::AcceptOpen);
        QCOMPARE(seen->fileMode, QFileDialog::ExistingFile);
        QCOMPARE(seen->filters, QStringList({"Murmurscript (*.mus)", "Text (*.txt)", "All Files (*.*)"}));
        QCOMPARE(seen->suffix, "mus");
        QCOMPARE(seen->filter, "Murmurscript (*.mus)");
    }

    void openAsksBeforeReplacingText()
    {
        WriteBytes(File("new.txt"), "new");
        SetText("old");

        AnswerFileDialog({}); // Cancel: nothing at all
        ToolButton(W(), "btn_Open")->click();
        QCOMPARE(Text(), "old"s);
        QVERIFY(log_.empty());

        AnswerFileDialog(File("new.txt"));
        user_.Script({mus::fake::Reply(mus::Answer::No)});
        // The offscreen platform leaves a closed dialog the active window.
        W().activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), window_.get());
        QTest::keyClick(Editor(W()), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(Text(), "old"s);
        QCOMPARE(log_, (Log{kQuestion, BoxLine(BoxKind::Confirm, "Yes No", kReplace)}));

        log_.clear();
        auto seen = AnswerFileDialog(File("new.txt"));
        user_.Script({mus::fake::Reply(mus::Answer::Yes)});
        MenuItem(W(), "OpenFile1")->trigger();
        QCOMPARE(Text(), "new"s);
        QCOMPARE(log_, (Log{kQuestion, BoxLine(BoxKind::Confirm, "Yes No", kReplace), kRead[0], kRead[1]}));
        QVERIFY(seen->fileName.isEmpty()); // the last name is not offered again
    }

    void openWarnsAboutAZeroByte()
    {
        WriteBytes(File("zero.txt"), QByteArray("ab\ncd\0ef\0", 9));
        AnswerFileDialog(File("zero.txt"));
        MenuItem(W(), "OpenFile1")->trigger();
        QCOMPARE(Text(), "ab\r\ncd"s);
        const char warning[] = "The file contains a zero byte at position 6.  Only the text before it was loaded.";
        QCOMPARE(log_, (Log{kRead[0], kRead[1], mus::fake::SoundLine(mus::AlertSound::Exclamation),
                            BoxLine(BoxKind::Warning, "OK", warning)}));
    }

    void openFailureKeepsTheText_data()
    {
        QTest::addColumn<QByteArray>("file"); // none: no file at all
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << "Cannot open file %1";
        QTest::newRow("a line longer than the editor takes")
            << QByteArray(int(mus::kLongestLine) + 1, 'x') << "Text exceeds memo capacity";
    }

    void openFailureKeepsTheText()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        SetText("kept");
        const QString path = File("in.txt");
        if (!file.isEmpty()) WriteBytes(path, file);
        QVERIFY(!mus::desktop::RunGuarded(&W(), [&] { W().OpenPath(path); }));
        QCOMPARE(Text(), "kept"s);
        QCOMPARE(log_, (Log{kRead[0], kRead[1], ReportLine(message.replace("%1", path))}));
    }

    void openOfTheSameTextChangesNothing()
    {
        SetText("one\r\ntwo");
        Editor(W())->moveCursor(QTextCursor::End);
        Editor(W())->insertPlainText(QStringLiteral("!"));
        QSignalSpy changes(Editor(W()), &QPlainTextEdit::textChanged);
        WriteBytes(File("same.txt"), "one\ntwo!");
        W().OpenPath(File("same.txt"));
        QCOMPARE(changes.count(), 0);
        QVERIFY(W().Document().CanUndo());
        WriteBytes(File("other.txt"), "one\ntwo?");
        W().OpenPath(File("other.txt"));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(Text(), "one\r\ntwo?"s);
    }

    // Open never waits on what is not a regular file: it is refused at once.
    void openRefusesWhatIsNoRegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << "pipe";
        QTest::newRow("device") << "device";
    }

    void openRefusesWhatIsNoRegularFile()
    {
        QFETCH(QString, kind);
        const QString path = File(kind + ".txt");
        if (kind == "pipe") QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        if (kind == "device") QVERIFY(QFile::link("/dev/zero", path));
        AnswerFileDialog(path);
        MenuItem(W(), "OpenFile1")->trigger();
        QCOMPARE(Text(), ""s);
        QCOMPARE(log_, (Log{kRead[0], kRead[1], ReportLine("Cannot open file " + path)}));
    }

    void openDialogRemembersTheFileType()
    {
        WriteBytes(File("README"), "no dot");
        WriteBytes(File("a.mus"), "mus");
        QStringList listed;
        AnswerFileDialog({}, [&](QFileDialog* d) {
            d->setDirectory(dir_);
            auto* types = d->findChild<QComboBox*>("fileTypeCombo");
            types->setCurrentIndex(2);
            emit types->activated(2); // as the user's choice does
            auto* view = d->findChild<QListView*>("listView");
            (void)QTest::qWaitFor([&] {
                listed.clear();
                for (int i = 0; i < view->model()->rowCount(view->rootIndex()); ++i) {
                    if (!view->isRowHidden(i))
                        listed << view->model()->index(i, 0, view->rootIndex()).data().toString();
                }
                return listed.size() == 2;
            });
        });
        MenuItem(W(), "OpenFile1")->trigger();
        listed.sort();
        QCOMPARE(listed, QStringList({"README", "a.mus"}));

        auto seen = AnswerFileDialog(File("README"));
        MenuItem(W(), "OpenFile1")->trigger();
        QVERIFY(!seen->refused);
        QCOMPARE(seen->filter, "All Files (*.*)");
        QCOMPARE(Text(), "no dot"s);
    }

    // Whatever the user did in the dialog, and however the command ended,
    // the next key goes to the editor.
    void editorHasTheFocusAfterwards_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("answer"); // file chosen, or empty to cancel
        QTest::addColumn<bool>("chooseType");
        QTest::newRow("Open") << false << "a.txt" << false;
        QTest::newRow("Open after choosing a type") << false << "a.txt" << true;
        QTest::newRow("Open cancelled") << false << "" << true;
        QTest::newRow("Save") << true << "b.txt" << false;
        QTest::newRow("Save after choosing a type") << true << "b.txt" << true;
    }

    void editorHasTheFocusAfterwards()
    {
        QFETCH(bool, save);
        QFETCH(QString, answer);
        QFETCH(bool, chooseType);
        WriteBytes(File("a.txt"), "text");
        if (save) SetText("keep");
        AnswerFileDialog(answer.isEmpty() ? QString() : File(answer), [chooseType](QFileDialog* d) {
            auto* types = d->findChild<QComboBox*>("fileTypeCombo");
            if (!chooseType) return;
            // Through its list, as the user picks an entry.
            QTest::mouseClick(types, Qt::LeftButton);
            auto* list = QApplication::activePopupWidget()->findChild<QListView*>();
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
        });
        (save ? MenuItem(W(), "SaveFileAs1") : MenuItem(W(), "OpenFile1"))->trigger();
        QTRY_COMPARE(QApplication::focusWidget(), Editor(W()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z);
        QCOMPARE(Text().front(), 'z');
    }

    // ---- Save -------------------------------------------------------------

    void saveRefusesAnEmptyText()
    {
        QTest::keyClick(Editor(W()), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(log_, (Log{kStop, BoxLine(BoxKind::Error, "OK", "There is no text that can be saved.")}));
        QCOMPARE(W().findChild<QFileDialog*>("SaveDialog1"), nullptr);
    }

    // clang-format off
    void saveOffersTheFileType_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("normal text") << "hello\r\nMuS/ once"s << "Text (*.txt)" << "txt";
        QTest::newRow("armoured block") << "x\r\nMuS/0120\r\nbody\r\nMuS/crc\r\n"s << "Murmurscript (*.mus)"
                                        << "mus";
    }
    // clang-format on

    void saveOffersTheFileType()
    {
        QFETCH(std::string, text);
        QFETCH(QString, filter);
        QFETCH(QString, suffix);
        SetText(text);
        auto seen = AnswerFileDialog({}); // Cancel writes nothing
        ToolButton(W(), "btn_Save")->click();
        QCOMPARE(seen->filter, filter);
        QCOMPARE(seen->objectName, "SaveDialog1");
        QCOMPARE(seen->title, "Save File");
        QCOMPARE(seen->mode, QFileDialog::AcceptSave);
        QCOMPARE(seen->filters, QStringList({"Murmurscript (*.mus)", "Text (*.txt)", "All Files (*.*)"}));
        QCOMPARE(seen->suffix, suffix);
        QVERIFY(seen->confirmsOverwrite);
        QVERIFY(log_.empty());
        QVERIFY(QDir(dir_).isEmpty());
        QCOMPARE(Text(), text);
    }

    // A typed name without an extension takes the extension of the type
    // chosen in the dialog.
    // clang-format off
    void saveAddsTheChosenTypesExtension_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<int>("choose");   // entry picked by the user; -1: the one offered
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        const std::string block = "x\r\nMuS/0120\r\nbody\r\nMuS/crc\r\n";
        QTest::newRow("text as offered") << "plain"s << -1 << "notes" << "notes.txt";
        QTest::newRow("block as offered") << block << -1 << "letter" << "letter.mus";
        QTest::newRow("text saved as Murmurscript") << "plain"s << 0 << "notes" << "notes.mus";
        QTest::newRow("block saved as Text") << block << 1 << "letter" << "letter.txt";
        QTest::newRow("all files") << "plain"s << 2 << "notes" << "notes.mus";
        QTest::newRow("own extension kept") << "plain"s << -1 << "notes.dat" << "notes.dat";
    }
    // clang-format on

    void saveAddsTheChosenTypesExtension()
    {
        QFETCH(std::string, text);
        QFETCH(int, choose);
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        SetText(text);
        AnswerFileDialog(QDir(dir_).filePath(typed), [choose](QFileDialog* d) {
            if (choose < 0) return;
            auto* types = d->findChild<QComboBox*>("fileTypeCombo");
            // What a click on the entry sends.
            types->setCurrentIndex(choose);
            emit types->activated(choose);
            emit types->textActivated(types->itemText(choose));
        });
        ToolButton(W(), "btn_Save")->click();
        QCOMPARE(QDir(dir_).entryList(QDir::Files), QStringList{saved});
    }

    void saveAllFilesKeepsTheTypedName()
    {
        SetText("text");
        QString typed;
        AnswerFileDialog({}, [&](QFileDialog* d) {
            auto* name = d->findChild<QLineEdit*>("fileNameEdit");
            name->setText("notes.txt");
            auto* types = d->findChild<QComboBox*>("fileTypeCombo");
            types->setCurrentIndex(2);
            emit types->activated(2);
            typed = name->text();
        });
        MenuItem(W(), "SaveFileAs1")->trigger();
        QCOMPARE(typed, "notes.txt");
    }

    void openThenSaveIsByteIdentical()
    {
        const QByteArray bytes("caf\xe9\r\n\xff\xfe\x80 \xc3\xa4 \xed\xa0\x80\r\n\xef\xbf\xbf\xf4\x90\x80\x80\r\nend");
        WriteBytes(File("in.txt"), bytes);
        AnswerFileDialog(File("in.txt"));
        MenuItem(W(), "OpenFile1")->trigger();
        QCOMPARE(QByteArray::fromStdString(Text()), bytes);

        AnswerFileDialog(File("out.txt"));
        MenuItem(W(), "SaveFileAs1")->trigger();
        QCOMPARE(ReadBytes(File("out.txt")), bytes);
        const mode_t mask = ::umask(022);
        ::umask(mask);
        QCOMPARE(StatOf(File("out.txt")).st_mode & 0777, 0666 & ~mask); // a new file's usual mode

        // Replacing a file, after the dialog's question.
        WriteBytes(File("old.txt"), "a much longer old content that is replaced entirely");
        AnswerFileDialog(File("old.txt"), [this](QFileDialog*) { ConfirmReplace(); });
        ToolButton(W(), "btn_Save")->click();
        QCOMPARE(ReadBytes(File("old.txt")), bytes);
        QCOMPARE(log_, kRead);
        QCOMPARE(QDir(dir_).entryList(QDir::Files).size(), 3); // no temporary file left behind
    }

    void saveOfLfFileWritesCrLf()
    {
        WriteBytes(File("lf.txt"), "a\nb\n");
        AnswerFileDialog(File("lf.txt"));
        MenuItem(W(), "OpenFile1")->trigger();
        AnswerFileDialog(File("crlf.txt"));
        MenuItem(W(), "SaveFileAs1")->trigger();
        QCOMPARE(ReadBytes(File("crlf.txt")), "a\r\nb\r\n");
    }

    void saveKeepsPermissionsAndLinks()
    {
        WriteBytes(File("target.txt"), "old");
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(File("target.txt"), mode));
        QVERIFY(QFile::link(File("target.txt"), File("link.txt")));
        QCOMPARE(WriteAs(kThisUser, File("link.txt"), "new"), QString());
        QVERIFY(QFileInfo(File("link.txt")).isSymLink());
        QCOMPARE(ReadBytes(File("target.txt")), "new");
        QCOMPARE(QFileInfo(File("target.txt")).permissions(), mode);
    }

    // Help > Save Reader Page As... writes the page this build ships, byte for
    // byte; a build without it says so.
    void saveReaderPageAs()
    {
        if (!mus::ReaderPageShipped()) {
            MenuItem(W(), "SaveReaderPageAs1")->trigger();
            QCOMPARE(log_, (Log{kStop, BoxLine(BoxKind::Error, "OK", "The reader page is not part of this build.")}));
            return;
        }
        auto seen = AnswerFileDialog(File("for-anna"));
        MenuItem(W(), "SaveReaderPageAs1")->trigger();
        QCOMPARE(seen->title, "Save Reader Page");
        QCOMPARE(seen->filters, QStringList{"Web page (*.html)"});
        QCOMPARE(seen->fileName, "murmurscript-reader.html");
        QCOMPARE(seen->mode, QFileDialog::AcceptSave);
        QVERIFY(seen->confirmsOverwrite);
        const QByteArray page = ReadBytes(File("for-anna.html"));
        QVERIFY(page.startsWith("<!DOCTYPE html>"));
        QCOMPARE(QString::fromLatin1(QCryptographicHash::hash(page, QCryptographicHash::Sha256).toHex()),
                 mus::ReaderPageDigest());
        QVERIFY(log_.empty());
    }

    void saveWithoutPermission_data()
    {
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<bool>("oldFile");
        QTest::addColumn<bool>("oldWritable");
        QTest::addColumn<int>("limit"); // a file size limit standing for a full disk; 0: none
        QTest::addColumn<QString>("message");
        const QString cannotCreate = "Cannot create file ";
        QTest::newRow("read-only folder, read-only file") << false << true << false << 0 << cannotCreate;
        QTest::newRow("read-only folder, new file") << false << false << false << 0 << cannotCreate;
        QTest::newRow("read-only folder, writable file: written in place") << false << true << true << 0 << "";
        QTest::newRow("read-only folder, writable file, disk full: old content kept")
            << false << true << true << 20 << "Stream write error";
        QTest::newRow("writable folder, read-only file") << true << true << false << 0 << cannotCreate;
    }

    void saveWithoutPermission()
    {
        QFETCH(bool, folderWritable);
        QFETCH(bool, oldFile);
        QFETCH(bool, oldWritable);
        QFETCH(int, limit);
        QFETCH(QString, message);
        const QString path = File("doc.txt");
        const QByteArray old = "old content\r\n";
        if (oldFile) {
            WriteBytes(path, old);
            QVERIFY(QFile::setPermissions(path, oldWritable ? kReadWrite : kReadOnly));
        }
        QFile::setPermissions(dir_, folderWritable ? kFolderOpen | QFile::WriteOther : kFolderReadOnly);
        const QString seen = WriteAs(kNobody, path, "new content that is longer\r\n", limit);
        QFile::setPermissions(dir_, kFolderOpen);
        if (message.isEmpty()) {
            QCOMPARE(seen, QString());
            QCOMPARE(ReadBytes(path), "new content that is longer\r\n");
        } else {
            QCOMPARE(seen, message == "Stream write error" ? message : message + path);
            QCOMPARE(ReadBytes(path), oldFile ? old : QByteArray("<missing>"));
        }
        QCOMPARE(QDir(dir_).entryList(QDir::Files).size(), oldFile || message.isEmpty() ? 1 : 0);
    }

    // Save keeps the file's owner, group, mode, links and extended
    // attributes: the new file takes the old one's place where it can be
    // given all of them, the old file is written in place where not.
    void saveKeepsWhatTheFileWas_data()
    {
        QTest::addColumn<uint>("owner");
        QTest::addColumn<uint>("group");
        QTest::addColumn<uint>("mode");
        QTest::addColumn<QStringList>("user");
        QTest::addColumn<QString>("extra"); // "link": a second hard link; "xattr": an extended attribute
        QTest::addColumn<bool>("inPlace");
        const QStringList inUsers = {"--reuid=65534", "--regid=65534", "--groups=100"};
        QTest::newRow("root saves another user's file") << 65534u << 65534u << 0640u << kThisUser << "" << false;
        QTest::newRow("group-shared file") << 65534u << 100u << 0660u << inUsers << "" << false;
        QTest::newRow("group the user is not in: in place") << 65534u << 100u << 0664u << kNobody << "" << true;
        QTest::newRow("another user's writable file: in place") << 0u << 0u << 0666u << kNobody << "" << true;
        QTest::newRow("second hard link: in place") << 0u << 0u << 0604u << kThisUser << "link" << true;
        QTest::newRow("extended attribute") << 0u << 0u << 0600u << kThisUser << "xattr" << false;
    }

    void saveKeepsWhatTheFileWas()
    {
        QFETCH(uint, owner);
        QFETCH(uint, group);
        QFETCH(uint, mode);
        QFETCH(QStringList, user);
        QFETCH(QString, extra);
        QFETCH(bool, inPlace);
        if (geteuid() != 0) QSKIP("needs root to give files to other users");
        const QString path = File("shared.txt");
        const QByteArray name = QFile::encodeName(path);
        WriteBytes(path, "the old text, longer than the new one");
        QVERIFY(::chown(name.constData(), owner, group) == 0 && ::chmod(name.constData(), mode) == 0);
        if (extra == "link") QVERIFY(::link(name.constData(), QFile::encodeName(File("second.txt")).constData()) == 0);
        if (extra == "xattr") QVERIFY(::setxattr(name.constData(), "user.mus", "kept", 4, 0) == 0);
        QFile::setPermissions(dir_, kFolderOpen | QFile::WriteGroup | QFile::WriteOther);
        const struct stat before = StatOf(path);

        QCOMPARE(WriteAs(user, path, "new text"), QString());
        const struct stat after = StatOf(path);
        QCOMPARE(ReadBytes(path), "new text");
        QCOMPARE(after.st_uid, owner);
        QCOMPARE(after.st_gid, group);
        QCOMPARE(after.st_mode & 07777, mode);
        QCOMPARE(after.st_ino == before.st_ino, inPlace);
        if (extra == "link") QCOMPARE(ReadBytes(File("second.txt")), "new text");
        char value[8] = {};
        if (extra == "xattr") QCOMPARE(::getxattr(name.constData(), "user.mus", value, sizeof value), 4);
        QCOMPARE(QDir(dir_).entryList(QDir::Files).size(), extra == "link" ? 2 : 1);
    }

    // A full disk (here a file size limit) ends Save with its message and the
    // old file whole, also where it is written in place.
    void failingWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("secondLink");
        QTest::newRow("replaced") << false;
        QTest::newRow("second hard link: written in place") << true;
    }

    void failingWriteKeepsTheOldFile()
    {
        QFETCH(bool, secondLink);
        const QByteArray old = QByteArray("the old file\r\n").repeated(50); // 650 bytes
        WriteBytes(File("old.txt"), old);
        if (secondLink)
            QCOMPARE(
                ::link(QFile::encodeName(File("old.txt")).constData(), QFile::encodeName(File("link.txt")).constData()),
                0);
        SetText(std::string(5000, 'x'));
        std::shared_ptr<DialogSeen> seen;
        {
            mus::test::FileSizeLimit limit(1000);
            QVERIFY(limit.Active());
            seen = AnswerFileDialog(File("old.txt"), [this](QFileDialog*) { ConfirmReplace(); });
            MenuItem(W(), "SaveFileAs1")->trigger();
        }
        QVERIFY(!seen->refused);
        QCOMPARE(log_, Log{ReportLine("Stream write error")});
        QCOMPARE(ReadBytes(File("old.txt")), old);
        QCOMPARE(QDir(dir_).entryList(QDir::Files).size(), secondLink ? 2 : 1);
    }

    // A save killed mid-write leaves the old file whole and, where unnamed
    // files can be made, nothing else; elsewhere its temporary file goes
    // with the next save of the same file, while a running save's stays.
    void killedSaveLeavesNoTemporaryFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("unnamed temporary file") << "unnamed";
        QTest::newRow("named temporary file") << "named";
    }

    void killedSaveLeavesNoTemporaryFile()
    {
        QFETCH(QString, kind);
        const QString path = File("doc.txt");
        WriteBytes(path, "old");
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {kKilledFlag, path, kind});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(ReadBytes(path), "old");
        const QStringList left = QDir(dir_).entryList(QDir::Files | QDir::Hidden);
        if (kind == "unnamed") {
            QCOMPARE(left, QStringList{"doc.txt"});
            return;
        }
        QCOMPARE(left.size(), 2);
        QVERIFY(QRegularExpression("^\\.doc\\.txt\\.[0-9a-z]{6}\\.mus-save$").match(left.value(0)).hasMatch());
        // A running save's temporary file: locked.
        const QString running = File(".doc.txt.abcdef.mus-save");
        WriteBytes(running, "");
        QFile held(running);
        QVERIFY(held.open(QIODevice::ReadOnly) && ::flock(held.handle(), LOCK_EX) == 0);
        QCOMPARE(WriteAs(kThisUser, path, "new"), QString());
        QCOMPARE(ReadBytes(path), "new");
        QCOMPARE(QDir(dir_).entryList(QDir::Files | QDir::Hidden),
                 QStringList({".doc.txt.abcdef.mus-save", "doc.txt"}));
    }

    // A text saved over a file that holds a block is asked about, with the
    // real box: No is its default and Escape's answer.
    void saveOverABlockAsks_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("key"); // what closes the box; 0: the Yes button; -1: no box
        QTest::addColumn<bool>("saved");
        const QByteArray block = "x\r\nMuS/0120\r\nbody\r\nMuS/crc\r\n";
        QTest::newRow("Yes") << "text"s << block << 0 << true;
        QTest::newRow("Enter: No") << "text"s << block << int(Qt::Key_Return) << false;
        QTest::newRow("Escape: No") << "text"s << block << int(Qt::Key_Escape) << false;
        QTest::newRow("a block over a block") << block.toStdString() << block << -1 << true;
        QTest::newRow("text over text") << "text"s << QByteArray("MuS/ once\r\n") << -1 << true;
        QTest::newRow("block in lines of LF only")
            << "text"s << QByteArray("MuS/a\nMuS/b") << int(Qt::Key_Escape) << false;
    }

    void saveOverABlockAsks()
    {
        QFETCH(std::string, text);
        QFETCH(QByteArray, file);
        QFETCH(int, key);
        QFETCH(bool, saved);
        const QString path = File("letter.mus");
        WriteBytes(path, file);
        SetText(text);
        W().SetUser(nullptr);
        probe_.showBoxes = true;
        AnswerFileDialog(path, [this, key](QFileDialog*) {
            ConfirmReplace();
            if (key < 0) return;
            answer_.Add<QMessageBox>([key](QMessageBox* box) {
                if (key == 0) return Part<QPushButton>(*box, "Yes")->click();
                QTest::keyClick(box, Qt::Key(key));
            });
        });
        MenuItem(W(), "SaveFileAs1")->trigger();
        probe_.showBoxes = false;
        W().SetUser(&user_);
        QCOMPARE(ReadBytes(path), saved ? QByteArray::fromStdString(text) : file);
        const std::string question = path.toStdString() + " holds encrypted text.  Replace it with this text, "
                                                          "unencrypted?";
        QCOMPARE(log_, key < 0 ? Log{} : (Log{kQuestion, BoxLine(BoxKind::Confirm, "Yes No, No default", question)}));
    }

    // ---- Exit -------------------------------------------------------------

    void exitAsksNothing()
    {
        SetText("unsaved");
        MenuItem(W(), "Exit1")->trigger();
        QVERIFY(!W().isVisible());
        QVERIFY(log_.empty());
    }

    // ---- Edit commands ------------------------------------------------------

    // Each guard through its shortcut, with the editor focused: the sound,
    // the box, and text, selection and clipboard as they were.
    // clang-format off
    void guards_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("message");
        QTest::newRow("Undo, Ctrl+Z") << ""s << int(Qt::Key_Z) << "No action can be undone at this time.";
        QTest::newRow("Cut, Ctrl+X")
            << "abc"s << int(Qt::Key_X) << "You must select some text to cut to the clipboard.";
        QTest::newRow("Copy, Ctrl+C") << "abc"s << int(Qt::Key_C)
                                      << "You must select some text to copy to the clipboard.";
        QTest::newRow("Paste, Ctrl+V, image only") << "abc"s << int(Qt::Key_V)
                                                   << "The clipboard contains no text that can be pasted.";
        QTest::newRow("Delete, Ctrl+Del") << "abc"s << int(Qt::Key_Delete) << "You must select some text to delete.";
    }
    // clang-format on

    void guards()
    {
        QFETCH(std::string, text);
        QFETCH(int, key);
        QFETCH(QString, message);
        auto* image = new QMimeData;
        image->setImageData(QImage(4, 4, QImage::Format_RGB32));
        QApplication::clipboard()->setMimeData(image);
        if (!text.empty()) QTest::keyClicks(Editor(W()), QString::fromStdString(text));
        log_.clear();
        QVERIFY(Editor(W())->hasFocus());
        QTest::keyClick(Editor(W()), Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(log_, (Log{kStop, BoxLine(BoxKind::Error, "OK", message.toStdString())}));
        QCOMPARE(Text(), text);
        QCOMPARE(W().Document().SelectionLength(), 0);
        QVERIFY(!QApplication::clipboard()->mimeData()->hasText());
        QVERIFY(QApplication::clipboard()->mimeData()->hasImage());
    }

    // The editor holds no zero bytes (a zero byte would end a decrypted
    // text there): the clipboard's text counts up to its first zero.
    void pasteStopsAtAZeroCharacter()
    {
        SetText("[]");
        Select(1, 1);
        QApplication::clipboard()->setText(QString::fromUtf8("ab\0cd", 5));
        QTest::keyClick(Editor(W()), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Text(), "[ab]"s);
        QCOMPARE(BytesText(W()), " 4 bytes");
        QVERIFY(log_.empty());
    }

    void editCommandsDoTheirWork()
    {
        QClipboard* clipboard = QApplication::clipboard();
        QTest::keyClicks(Editor(W()), "abcdef");

        Select(1, 3);
        QTest::keyClick(Editor(W()), Qt::Key_C, Qt::ControlModifier); // Copy
        QCOMPARE(clipboard->text(), "bc");
        QCOMPARE(Text(), "abcdef"s);

        QTest::keyClick(Editor(W()), Qt::Key_X, Qt::ControlModifier); // Cut
        QCOMPARE(clipboard->text(), "bc");
        QCOMPARE(Text(), "adef"s);
        QCOMPARE(BytesText(W()), " 4 bytes");

        Select(0, 1);
        clipboard->setText("XY");
        ToolButton(W(), "btn_Paste")->click(); // Paste replaces the selection
        QCOMPARE(Text(), "XYdef"s);

        Select(2, 4);
        MenuItem(W(), "Delete1")->trigger(); // Delete leaves the clipboard alone
        QCOMPARE(Text(), "XYf"s);
        QCOMPARE(clipboard->text(), "XY");

        QTest::keyClick(Editor(W()), Qt::Key_Z, Qt::ControlModifier); // Undo
        QCOMPARE(Text(), "XYdef"s);
        QCOMPARE(BytesText(W()), " 5 bytes");

        MenuItem(W(), "SelectAll1")->trigger();
        QCOMPARE(W().Document().SelectionLength(), 5);
        QCOMPARE(BytesText(W()), " 5 bytes, 5 bytes selected");
        QVERIFY(ToolButton(W(), "btn_Cut")->isEnabled());
        QVERIFY(log_.empty());
    }
};

int main(int argc, char** argv)
{
    if (argc == 5 && qstrcmp(argv[1], kChildFlag) == 0) return ChildWrite(argv[2], argv[3], argv[4]);
    if (argc == 4 && qstrcmp(argv[1], kKilledFlag) == 0) return KilledSave(argv[2], argv[3]);
    QApplication app(argc, argv);
    FileCommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "file_commands_test.moc"
