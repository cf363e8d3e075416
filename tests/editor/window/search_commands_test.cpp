// Find, Find Next, Find Previous, Replace and Go to Line, driven by real key
// events through the window's shortcuts and the find bar, and the search
// underneath them.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTest>

#include <memory>
#include <string>

#include "editor/desktop/desktop.h"
#include "editor/dialogs/go_to_line_dialog.h"
#include "editor/document/byte_document.h"
#include "editor/settings/settings_store.h"
#include "editor/window/main_window.h"
#include "editor/window/text_search.h"
#include "tests/support/desktop_probe.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/window_parts.h"

using namespace std::string_literals;
using namespace mus::test;
using mus::SearchDirection;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(SearchDirection)

namespace {

const QString kEnd = QStringLiteral("Passed the end; continued from the top.");
const QString kStart = QStringLiteral("Passed the start; continued from the bottom.");
const QString kNotFound = QStringLiteral("Not found.");

// Keys for the widget with the focus, '|' between them: "^F" is Ctrl+F,
// "+F3" Shift+F3, "'text" types the text; else Enter, Esc, Tab, Space, F3.
void Press(const QString& steps)
{
    for (const QString& step : steps.split(QLatin1Char('|'))) {
        QWidget* to = QApplication::focusWidget();
        QVERIFY2(to != nullptr, qPrintable(step));
        if (step.startsWith(QLatin1Char('\''))) {
            TypeText(to, step.mid(1));
            continue;
        }
        Qt::KeyboardModifiers modifiers;
        QString name = step;
        if (step.startsWith(QLatin1Char('^'))) modifiers = Qt::ControlModifier;
        if (step.startsWith(QLatin1Char('+'))) modifiers = Qt::ShiftModifier;
        if (modifiers != Qt::NoModifier) name = step.mid(1);
        const QKeySequence key = QKeySequence::fromString(name == QLatin1String("Enter") ? "Return" : name);
        QVERIFY2(key.count() == 1, qPrintable(step));
        QTest::keyClick(to, key[0].key(), modifiers);
    }
}

} // namespace

class SearchCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frm_CText> window_;
    mus::fake::Log log_;
    std::unique_ptr<DesktopProbe> probe_;
    ModalAnswerer answer_;

    frm_CText& W() { return *window_; }
    QWidget* Bar() { return Part<QWidget>(W(), "pan_Find"); }

    void Start(const std::string& text, int selStart, int selEnd)
    {
        W().Document().SetText(text);
        QTextCursor cursor = Editor(W())->textCursor();
        cursor.setPosition(selStart);
        cursor.setPosition(selEnd, QTextCursor::KeepAnchor);
        Editor(W())->setTextCursor(cursor);
        W().UpdateStatus();
    }

    QString Selection()
    {
        const QTextCursor c = Editor(W())->textCursor();
        return QStringLiteral("%1-%2").arg(c.selectionStart()).arg(c.selectionEnd());
    }

    // The alert sounds and boxes the steps brought: "Not found." comes with
    // the exclamation sound and no box; nothing else makes a sound.
    void CheckSounds(const QString& note)
    {
        QCOMPARE(!log_.empty(), note == kNotFound);
        for (const std::string& line : log_) QCOMPARE(line, mus::fake::SoundLine(mus::AlertSound::Exclamation));
    }

    // The status shows what the editor holds and selects now.
    void CheckStatusUpToDate()
    {
        const QString shown = BytesText(W());
        W().UpdateStatus();
        QCOMPARE(shown, BytesText(W()));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(mus::SettingsStore::DefaultPath());
    }

    void init()
    {
        log_.clear();
        probe_ = std::make_unique<DesktopProbe>(log_);
        window_ = std::make_unique<frm_CText>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    void cleanup()
    {
        window_.reset();
        probe_.reset();
        QCOMPARE(answer_.Leftover(), 0);
    }

    // clang-format off
    void findText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<int>("from");
        QTest::addColumn<SearchDirection>("direction");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("wholeWords");
        QTest::addColumn<int>("found");
        QTest::addColumn<bool>("wrapped");
        const auto fwd = SearchDirection::Forward, back = SearchDirection::Backward;
        QTest::newRow("any case") << "a Cat" << "cAT" << 0 << fwd << false << false << 2 << false;
        QTest::newRow("match case misses") << "a Cat" << "cAT" << 0 << fwd << true << false << -1 << false;
        QTest::newRow("at from") << "catcat" << "cat" << 3 << fwd << false << false << 3 << false;
        QTest::newRow("wraps to the top") << "cat dog" << "cat" << 1 << fwd << false << false << 0 << true;
        QTest::newRow("overlap at from wraps") << "aaa" << "aa" << 2 << fwd << false << false << 0 << true;
        QTest::newRow("back ends at from") << "catcat" << "cat" << 6 << back << false << false << 3 << false;
        QTest::newRow("back wraps") << "dog cat" << "cat" << 6 << back << false << false << 4 << true;
        QTest::newRow("back from 0") << "cat" << "cat" << 0 << back << false << false << 0 << true;
        QTest::newRow("word inside a word") << "concat cat" << "cat" << 0 << fwd << false << true << 7 << false;
        QTest::newRow("word before _") << "cat_ cat." << "cat" << 0 << fwd << false << true << 5 << false;
        QTest::newRow("word back") << "cat cats" << "cat" << 8 << back << false << true << 0 << false;
        QTest::newRow("word edge not a letter") << "a-b" << "-b" << 0 << fwd << false << true << 1 << false;
        QTest::newRow("no word anywhere") << "cats scat" << "cat" << 4 << fwd << false << true << -1 << false;
        QTest::newRow("empty") << "cat" << "" << 0 << fwd << false << false << -1 << false;
        QTest::newRow("longer than text") << "ca" << "cat" << 0 << back << false << false << -1 << false;
    }
    // clang-format on

    void findText()
    {
        QFETCH(QString, text);
        QFETCH(QString, needle);
        QFETCH(int, from);
        QFETCH(SearchDirection, direction);
        QFETCH(bool, matchCase);
        QFETCH(bool, wholeWords);
        QFETCH(int, found);
        QFETCH(bool, wrapped);
        bool didWrap = !wrapped;
        QCOMPARE(mus::FindTextWrapping(text, needle, from, direction, {matchCase, wholeWords}, didWrap), found);
        QCOMPARE(didWrap, wrapped);
    }

    // clang-format off
    void find_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selEnd");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("sounds");
        const QString F = QStringLiteral("txt_Find"), E = QStringLiteral("txt_CText"); // where the keyboard is
        const std::string t = "two one two one"; // "one" at 4 and 12, "two" at 0 and 8
        QTest::newRow("typing searches from the cursor") << t << 5 << 5 << "^F|'one" << "12-15" << "" << F << 0;
        QTest::newRow("typing wraps") << t << 13 << 13 << "^F|'two" << "0-3" << kEnd << F << 0;
        QTest::newRow("typing back to nothing") << t << 5 << 5 << "^F|'o|Backspace" << "5-5" << "" << F << 0;
        QTest::newRow("Enter finds the next") << t << 0 << 0 << "^F|'one|Enter" << "12-15" << "" << F << 0;
        QTest::newRow("Enter wraps") << t << 0 << 0 << "^F|'one|Enter|Enter" << "4-7" << kEnd << F << 0;
        QTest::newRow("Shift+Enter wraps back") << t << 0 << 0 << "^F|'one|+Enter" << "12-15" << kStart << F << 0;
        QTest::newRow("F3, Shift+F3 in the bar") << t << 0 << 0 << "^F|'two|F3|+F3" << "0-3" << "" << F << 0;
        QTest::newRow("Escape keeps the match") << t << 0 << 0 << "^F|'one|Esc" << "4-7" << "" << E << 0;
        QTest::newRow("F3 in the editor") << t << 0 << 0 << "^F|'two|Esc|F3" << "8-11" << "" << E << 0;
        QTest::newRow("Shift+F3 in the editor") << t << 9 << 9 << "^F|'one|Esc|+F3" << "4-7" << "" << E << 0;
        QTest::newRow("not found") << t << 2 << 2 << "^F|'six" << "2-2" << kNotFound << F << 1;
        QTest::newRow("F3 not found") << t << 2 << 2 << "^F|'six|Esc|F3" << "2-2" << kNotFound << E << 2;
        QTest::newRow("the selection is the text") << t << 4 << 7 << "^F|Enter" << "12-15" << "" << F << 0;
        QTest::newRow("two lines are not") << "ab\r\nab"s << 0 << 4 << "^F|Enter" << "0-4" << "" << F << 0;
        QTest::newRow("F3 without text opens Find") << t << 3 << 3 << "F3" << "3-3" << "" << F << 0;
        QTest::newRow("match case") << "One one"s << 0 << 0 << "^F|Tab|Space|+Tab|'one" << "4-7" << "" << F << 0;
        QTest::newRow("whole words") << "bone one"s << 0 << 0 << "^F|Tab|Tab|Space|+Tab|+Tab|'one" << "5-8" << "" << F
                                     << 1;
        QTest::newRow("Escape from a check box") << t << 0 << 0 << "^F|'two|Tab|Esc" << "0-3" << "" << E << 0;
    }
    // clang-format on

    void find()
    {
        QFETCH(std::string, text);
        QFETCH(int, selStart);
        QFETCH(int, selEnd);
        QFETCH(QString, steps);
        QFETCH(QString, selection);
        QFETCH(QString, note);
        QFETCH(QString, focus);
        QFETCH(int, sounds);
        Start(text, selStart, selEnd);
        Press(steps);
        QCOMPARE(Selection(), selection);
        QCOMPARE(Part<QLabel>(W(), "lab_FindNote")->text(), note);
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QCOMPARE(Bar()->isVisible(), !steps.endsWith(QLatin1String("Esc")));
        QCOMPARE(log_, mus::fake::Log(sounds, mus::fake::SoundLine(mus::AlertSound::Exclamation)));
        CheckStatusUpToDate();
    }

    // clang-format off
    void replace_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<std::string>("text");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("bytes");
        const QString all = QStringLiteral("|Tab|Tab|Tab|Tab|Space"); // from the replace field to Replace All
        const QString oo = QStringLiteral(u"\u00f6\u00f6"); // 4 bytes
        const std::string o2 = "\xc3\xb6\xc3\xb6";
        const QString sel3 = QStringLiteral(" 9 bytes, 3 bytes selected");
        QTest::newRow("Replace, then next") << "^H|'one|Tab|'1|Enter" << "1 two one"s << "" << sel3;
        QTest::newRow("Replace the last") << "^H|'one|Tab|'1|Enter|Enter" << "1 two 1"s << kNotFound << " 7 bytes";
        QTest::newRow("Replace All") << "^H|'one|Tab|'1" + all << "1 two 1"s << "2 replaced." << " 7 bytes";
        QTest::newRow("Replace All, Undo") << "^H|'one|Tab|'1" + all + "|Esc|^Z" << "one two one"s << "2 replaced."
                                           << " 11 bytes";
        QTest::newRow("Replace All longer") << "^H|'o|Tab|'" + oo + all << o2 + "ne tw" + o2 + " " + o2 + "ne"
                                            << "3 replaced." << " 20 bytes";
        QTest::newRow("Replace All none") << "^H|'six|Tab" + all << "one two one"s << kNotFound << " 11 bytes";
    }
    // clang-format on

    void replace()
    {
        QFETCH(QString, steps);
        QFETCH(std::string, text);
        QFETCH(QString, note);
        QFETCH(QString, bytes);
        Start("one two one", 0, 0);
        Press(steps);
        QCOMPARE(W().Document().Text(), text);
        QCOMPARE(Part<QLabel>(W(), "lab_FindNote")->text(), note);
        QCOMPARE(BytesText(W()), bytes);
        CheckSounds(note);
    }

    // The replace field comes after the search field, and only in Replace.
    void replaceFieldFollowsTheSearchField()
    {
        Press("^F|'ab|^H|Tab"); // Ctrl+H reaches the window from the search field too
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txt_Replace"));
        QCOMPARE(Part<QLineEdit>(W(), "txt_Find")->text(), QStringLiteral("ab"));
        Press("^F|Tab");
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("chk_MatchCase"));
        QVERIFY(!Part<QWidget>(W(), "txt_Replace")->isVisible());
    }

    // Out of range: the sound and the note, and the dialog stays; in range:
    // the cursor at the start of the line, and the keyboard in the editor.
    void goToLine()
    {
        Start("a\r\nbb\r\nccc", 4, 4); // in line 2
        QString first;
        QStringList notes;
        bool focused = false;
        answer_.Add<frm_GoToLine>([&](frm_GoToLine* d) {
            first = d->txt_Line->selectedText();
            focused = QTest::qWaitFor([d] { return d->txt_Line->hasFocus(); });
            for (const char* entry : {"0", "4", "", "3"}) {
                d->txt_Line->clear();
                Press(QStringLiteral("'%1|Enter").arg(QLatin1String(entry)));
                notes << (d->isVisible() ? d->lab_LineNote->text() : QStringLiteral("closed"));
            }
            if (d->isVisible()) d->reject();
        });
        Press("^G");
        QCOMPARE(first, QStringLiteral("2"));
        QVERIFY(focused);
        const QString range = QStringLiteral("Enter a line number from 1 to 3.");
        QCOMPARE(notes, (QStringList{range, range, range, "closed"}));
        QCOMPARE(log_, mus::fake::Log(3, mus::fake::SoundLine(mus::AlertSound::Exclamation)));
        QCOMPARE(Editor(W())->textCursor().position(), 5);
        QVERIFY(!Editor(W())->textCursor().hasSelection());
        QCOMPARE(BytesText(W()), QStringLiteral(" 10 bytes"));
        QTRY_VERIFY(Editor(W())->hasFocus()); // once the window is active again
    }
};

QTEST_MAIN(SearchCommandsTest)
#include "search_commands_test.moc"
