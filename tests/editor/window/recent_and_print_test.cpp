// The Recent Files submenu and the settings it leaves, and Print and Export
// as PDF through the real window: menu items, shortcut and dialogs.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "editor/document/byte_document.h"
#include "editor/window/file_drop.h"
#include "editor/window/main_window.h"
#include "tests/support/desktop_probe.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/pdf_text.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/window_parts.h"

using namespace mus::test;
using mus::BoxKind;
using mus::fake::BoxLine;
using mus::fake::Log;

namespace {

const QByteArray kSevenKeys = "[Murmurscript]\nFontName=Fixedsys\nFontSize=10\nFontColor=0\nFontBold=0\n"
                              "FontItalic=0\nWordWrap=0\nBackColor=-2147483643\n";
const std::string kStop = mus::fake::SoundLine(mus::AlertSound::Stop);
const std::string kQuestion = mus::fake::SoundLine(mus::AlertSound::Question);

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class RecentAndPrintTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QString dir_;
    Log log_;
    mus::fake::ScriptedUser user_{log_};
    DesktopProbe probe_{log_};
    ModalAnswerer answer_;
    std::unique_ptr<frm_CText> window_;

    frm_CText& W() { return *window_; }
    QString Ini() const { return home_.path() + "/config/Murmurscript/MUS.INI"; }
    QString File(const QString& name) const { return dir_ + '/' + name; }

    void Start()
    {
        window_ = std::make_unique<frm_CText>();
        window_->SetUser(&user_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    // The Recent Files submenu as it shows: "name|caption" of each visible
    // item, "-" for a separator, a "(disabled)" mark where one is.
    QStringList Submenu()
    {
        auto* menu = Part<QMenu>(W(), "RecentFiles1");
        emit menu->aboutToShow();
        QStringList items;
        for (const QAction* a : menu->actions()) {
            if (!a->isVisible()) continue;
            items << (a->isSeparator() ? QStringLiteral("-")
                                       : a->objectName() + '|' + a->text() + (a->isEnabled() ? "" : " (disabled)"));
        }
        return items;
    }

    QString Entry(int n, const QString& name) const
    {
        return QStringLiteral("RecentFile%1|&%1 %2 \u2014 %3").arg(n).arg(name, dir_);
    }

    // Answers the next file dialog with `path`.
    void AnswerFileDialog(const QString& path)
    {
        answer_.Add<QFileDialog>([path](QFileDialog* d) {
            d->findChild<QLineEdit*>("fileNameEdit")->setText(path);
            static_cast<QDialog*>(d)->accept();
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home_.isValid());
        qputenv("HOME", home_.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home_.path() + "/config").toLocal8Bit());
    }

    void init()
    {
        static int n = 0;
        dir_ = home_.path() + QStringLiteral("/t%1").arg(++n);
        QVERIFY(QDir().mkpath(dir_));
        QFile::remove(Ini());
        log_.clear();
    }

    void cleanup()
    {
        window_.reset();
        QVERIFY(user_.ScriptUsedUp());
        QCOMPARE(answer_.Leftover(), 0);
    }

    void submenuAtStart_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("items");
        const QStringList none{"RecentNone1|(none) (disabled)", "-", "ClearList1|&Clear List"};
        QTest::newRow("no settings file") << QByteArray() << none;
        QTest::newRow("RecentFiles 0") << QByteArray("[Murmurscript]\nRecentFiles=0\nRecent1=/a/b.mus\n")
                                       << QStringList{"RecentNone1|(none) (disabled)"};
        QTest::newRow("two entries, most recent first")
            << QByteArray("[Murmurscript]\nRecent1=/a/b.mus\nRecent2=/c/R&D.txt\n")
            << QStringList{QString::fromUtf8("RecentFile1|&1 b.mus \u2014 /a"),
                           QString::fromUtf8("RecentFile2|&2 R&&D.txt \u2014 /c"), "-", "ClearList1|&Clear List"};
    }

    void submenuAtStart()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, items);
        if (!ini.isEmpty()) WriteBytes(Ini(), ini);
        Start();
        QCOMPARE(Submenu(), items);
        // Shown again, the entries are not doubled.
        QCOMPARE(Submenu(), items);
    }

    // Opened by the dialog, by a drop and from the list, and saved: each
    // goes to the top; a file that is gone is reported and leaves the list;
    // the list is what the settings file holds at exit.
    void listFollowsOpenAndSave()
    {
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteBytes(File(name), name);
        Start();
        AnswerFileDialog(File("a.txt"));
        QTest::keyClick(Editor(W()), Qt::Key_O, Qt::ControlModifier);
        AnswerFileDialog(File("saved.txt"));
        MenuItem(W(), "SaveFileAs1")->trigger();
        user_.Script({mus::fake::Reply(mus::Answer::Yes)});
        mus::OpenDroppedFile(W(), File("b.txt"));
        QCOMPARE(Submenu().mid(0, 3), (QStringList{Entry(1, "b.txt"), Entry(2, "saved.txt"), Entry(3, "a.txt")}));

        // Chosen from the list: Open's question, then the file.
        log_.clear();
        user_.Script({mus::fake::Reply(mus::Answer::Yes)});
        MenuItem(W(), "RecentFile3")->trigger();
        QCOMPARE(W().Document().Text(), std::string("a.txt"));
        QCOMPARE(Log(log_.begin(), log_.begin() + 2),
                 (Log{kQuestion, BoxLine(BoxKind::Confirm, "Yes No",
                                         "Replace existing text with the contents of the selected file?")}));
        QCOMPARE(Submenu().mid(0, 3), (QStringList{Entry(1, "a.txt"), Entry(2, "b.txt"), Entry(3, "saved.txt")}));
        QTRY_COMPARE(QApplication::focusWidget(), Editor(W()));

        // Gone: reported without a question, and off the list.
        QVERIFY(QFile::remove(File("b.txt")));
        log_.clear();
        Submenu();
        MenuItem(W(), "RecentFile2")->trigger();
        QCOMPARE(log_, Log{ReportLine("Cannot open file " + File("b.txt"))});
        QCOMPARE(W().Document().Text(), std::string("a.txt"));
        QCOMPARE(Submenu().mid(0, 2), (QStringList{Entry(1, "a.txt"), Entry(2, "saved.txt")}));

        window_.reset();
        QCOMPARE(ReadBytes(Ini()),
                 kSevenKeys + ("Recent1=" + File("a.txt") + "\nRecent2=" + File("saved.txt") + "\n").toUtf8());
    }

    void clearListLeavesTheSevenKeys()
    {
        WriteBytes(File("a.txt"), "a");
        Start();
        W().OpenPath(File("a.txt")); // as the command line opens it
        QCOMPARE(Submenu().first(), Entry(1, "a.txt"));
        MenuItem(W(), "ClearList1")->trigger();
        QCOMPARE(Submenu(), (QStringList{"RecentNone1|(none) (disabled)", "-", "ClearList1|&Clear List"}));
        window_.reset();
        QCOMPARE(ReadBytes(Ini()), kSevenKeys);
    }

    void emptyTextIsNotPrinted_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("Print") << "Print1";
        QTest::newRow("Export as PDF") << "ExportAsPdf1";
    }

    void emptyTextIsNotPrinted()
    {
        QFETCH(QString, item);
        Start();
        MenuItem(W(), qPrintable(item))->trigger();
        QCOMPARE(log_, (Log{kStop, BoxLine(BoxKind::Error, "OK", "There is no text that can be printed.")}));
    }

    // The header names the file last opened or saved, "Untitled" before;
    // the dialog offers the document's name. What the pages hold is
    // print_document_test's.
    void exportAsPdf()
    {
        Start();
        W().Document().SetText("a note");
        AnswerFileDialog(File("first"));
        MenuItem(W(), "ExportAsPdf1")->trigger();
        QVERIFY2(PdfLines(File("first.pdf")).first().startsWith("Untitled "), qPrintable(File("first.pdf")));

        WriteBytes(File("notes.mus"), "another note");
        W().OpenPath(File("notes.mus"));
        answer_.Add<QFileDialog>([this](QFileDialog* d) {
            QCOMPARE(d->findChild<QLineEdit*>("fileNameEdit")->text(), "notes.pdf");
            QCOMPARE(d->nameFilters(), QStringList{"PDF document (*.pdf)"});
            d->setDirectory(dir_);
            static_cast<QDialog*>(d)->accept();
        });
        MenuItem(W(), "ExportAsPdf1")->trigger();
        const QStringList text = PdfLines(File("notes.pdf"));
        QVERIFY2(text.first().startsWith("notes.mus "), qPrintable(text.first()));
        QVERIFY(text.contains("another note"));
        QCOMPARE(W().windowTitle(), "Murmurscript");
    }

    // Ctrl+P reaches Print from the editor; the printer here writes a file.
    void printThroughTheShortcut()
    {
        Start();
        W().Document().SetText("printed text");
        const QString out = File("printed.pdf");
        answer_.Add<QPrintDialog>([out](QPrintDialog* d) {
            d->findChild<QLineEdit*>("filename")->setText(out);
            d->accept();
        });
        QTest::keyClick(Editor(W()), Qt::Key_P, Qt::ControlModifier);
        QVERIFY(PdfLines(out).contains("printed text"));
    }
};

QTEST_MAIN(RecentAndPrintTest)

#include "recent_and_print_test.moc"
