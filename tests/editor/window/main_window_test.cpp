// The main window: layout by object name, menus and shortcuts, the status
// routine, shortcuts over the editor, the failure report, About and help.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <memory>
#include <string>

#include "cipher/errors.h"
#include "editor/desktop/desktop.h"
#include "editor/desktop/help_viewer.h"
#include "editor/dialogs/about_dialog.h"
#include "editor/document/byte_document.h"
#include "editor/settings/settings_store.h"
#include "editor/window/main_window.h"
#include "tests/support/desktop_probe.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/window_parts.h"

using namespace std::string_literals;
using namespace mus::test;

Q_DECLARE_METATYPE(std::string)

namespace {

QStringList MenuLayout(QMenu* menu)
{
    QStringList items;
    for (const QAction* a : menu->actions()) {
        items << (a->isSeparator() ? QStringLiteral("-")
                                   : a->objectName() + QLatin1Char('|') + a->text() + QLatin1Char('|') +
                                         a->shortcut().toString(QKeySequence::PortableText));
    }
    return items;
}

// A window widget whose handler fails.
class FailingHandler : public QWidget {
public:
    std::string message = "Cannot open file /nowhere/x.mus";
    bool foreign = false;
    void Run()
    {
        if (foreign) throw 42;
        throw mus::Failure(message);
    }
};

// What is wrong with the About box's bottom line, or nothing: each label
// holds its whole text in the dialog's face, the platform text keeps the
// margin from the right edge, and neither touches its neighbour.
QString PlatformLineProblems(const frm_About& about)
{
    const QLabel* text = about.lab_Platform;
    const auto* caption = about.findChild<QLabel*>(QStringLiteral("lab_PlatformCaption"));
    if (caption == nullptr) return QStringLiteral("no caption");
    QStringList problems;
    for (const QLabel* l : {text, caption}) {
        if (l->fontMetrics().horizontalAdvance(l->text()) > l->contentsRect().width()) problems << l->text() + " cut";
    }
    if (text->font().pixelSize() != about.font().pixelSize()) problems << "platform text drawn smaller";
    if (text->geometry().right() >= about.width() - 8) problems << "platform text in the right margin";
    if (caption->geometry().right() >= text->geometry().left()) problems << "caption runs into the text";
    if (caption->geometry().left() <= about.cmd_OK->geometry().right()) problems << "caption runs into OK";
    return problems.join(QStringLiteral(", "));
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    ModalAnswerer answer_;
    std::unique_ptr<frm_CText> window_;

    frm_CText& W() { return *window_; }

    QStringList EnabledButtons()
    {
        QStringList names;
        for (QToolButton* b : Part<QToolBar>(W(), "pan_Toolbar")->findChildren<QToolButton*>()) {
            if (b->objectName().startsWith(QLatin1String("btn_")) && b->isEnabled()) names << b->objectName();
        }
        names.sort();
        return names;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setApplicationName(QStringLiteral("Murmurscript"));
    }

    void init()
    {
        // Each window starts from the design appearance.
        QFile::remove(mus::SettingsStore::DefaultPath());
        window_ = std::make_unique<frm_CText>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    void cleanup()
    {
        window_.reset();
        mus::desktop::CloseHelp();
        QCOMPARE(answer_.Leftover(), 0);
    }

    void windowLayout()
    {
        QCOMPARE(W().windowTitle(), QStringLiteral("Murmurscript"));
        QVERIFY(!W().windowIcon().isNull());
        // Every size the window icon is drawn in was built into the program.
        QCOMPARE(W().windowIcon().availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {64, 64}, {128, 128}}));
        for (const char* name :
             {"MainMenu1", "pan_Toolbar", "pan_CText", "txt_CText", "pan_Status", "pan_Bytes", "pan_TextType"}) {
            QVERIFY2(W().findChild<QWidget*>(QString::fromLatin1(name)) != nullptr, name);
        }
        const int bars = Part<QToolBar>(W(), "pan_Toolbar")->height() + Part<QStatusBar>(W(), "pan_Status")->height();
        QCOMPARE(W().centralWidget()->height() + bars, 352);
        QCOMPARE(W().width(), 560);
        QCOMPARE(Part<QToolBar>(W(), "pan_Toolbar")->height(), 33);
        // The design width, or wider where the desktop's face needs it.
        QVERIFY(Panel(W(), "pan_TextType")->width() >= 88);
        QCOMPARE(BytesText(W()), QStringLiteral(" 0 bytes"));
        QCOMPARE(TextType(W()), QStringLiteral(" Normal Text"));
        QVERIFY(Panel(W(), "pan_Bytes")->accessibleName().isEmpty());
        QVERIFY(Panel(W(), "pan_TextType")->accessibleName().isEmpty());
        QVERIFY(Editor(W())->hasFocus());
        // A selection looks the same whether or not the editor has the focus.
        const QPalette palette = Editor(W())->palette();
        QCOMPARE(palette.color(QPalette::Inactive, QPalette::Highlight),
                 palette.color(QPalette::Active, QPalette::Highlight));
        // The design face keeps its name; where it is missing a fixed-pitch
        // face draws it, never a proportional one.
        QCOMPARE(Editor(W())->font().family(), QStringLiteral("Fixedsys"));
        const QFontInfo drawn(Editor(W())->font());
        QVERIFY2(drawn.fixedPitch(), qPrintable(drawn.family()));
        QCOMPARE(Editor(W())->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(!MenuItem(W(), "WordWrap1")->isChecked());
    }

    void menus_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("Action") << "Action1|&Action"
                                << QStringList{"New1|&New|Ctrl+N",
                                               "OpenFile1|&Open File...|Ctrl+O",
                                               "SaveFileAs1|&Save File As...|Ctrl+S",
                                               "Print1|&Print...|Ctrl+P",
                                               "ExportAsPdf1|Expor&t as PDF...|",
                                               "RecentFiles1|Recent &Files|",
                                               "-",
                                               "Encrypt1|&Encrypt|Ctrl+E",
                                               "EncryptUsingMethod1|Encrypt With Specific &Method...|",
                                               "EncryptSelection1|Encrypt Se&lection|Ctrl+Shift+E",
                                               "Decrypt1|&Decrypt|Ctrl+D",
                                               "DecryptInPlace1|Decrypt &in Place|Ctrl+Shift+D",
                                               "-",
                                               "Exit1|E&xit|"};
        QTest::newRow("Edit") << "Edit1|&Edit"
                              << QStringList{"Undo1|&Undo|Ctrl+Z",
                                             "Cut1|Cu&t|Ctrl+X",
                                             "Copy1|&Copy|Ctrl+C",
                                             "Paste1|&Paste|Ctrl+V",
                                             "Delete1|&Delete|Ctrl+Del",
                                             "SelectAll1|Se&lect All|",
                                             "-",
                                             "Find1|&Find...|Ctrl+F",
                                             "FindNext1|Find &Next|F3",
                                             "FindPrevious1|Find Pre&vious|Shift+F3",
                                             "Replace1|&Replace...|Ctrl+H",
                                             "GoToLine1|&Go to Line...|Ctrl+G"};
        QTest::newRow("Options") << "Options1|&Options"
                                 << QStringList{"Font1|&Font...|", "TextColor1|&Text Color...|",
                                                "BackgroundColor1|&Background Color...|", "WordWrap1|Word Wrap|"};
        QTest::newRow("Help") << "Help1|&Help"
                              << QStringList{"Contents1|&Contents|F1",
                                             "SearchforHelpOn1|&Search for Help On...|",
                                             "HowtoUseHelp1|&How to Use Help|",
                                             "SaveReaderPageAs1|Save &Reader Page As...|",
                                             "-",
                                             "About2|&About...|"};
    }

    void menus()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, items);
        QMenu* found = nullptr;
        QStringList titles;
        for (QAction* a : Part<QMenuBar>(W(), "MainMenu1")->actions()) {
            titles << a->menu()->objectName() + QLatin1Char('|') + a->text();
            if (titles.last() == menu) found = a->menu();
        }
        QVERIFY2(found != nullptr, qPrintable(titles.join(", ")));
        QCOMPARE(MenuLayout(found), items);
        // Menu items are never disabled, and only Word Wrap has a check mark;
        // no two items of a menu share an access key.
        QSet<QChar> keys;
        for (const QAction* a : found->actions()) {
            QVERIFY(a->isEnabled());
            QCOMPARE(a->isCheckable(), a->objectName() == QLatin1String("WordWrap1"));
            const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
            if (amp < 0) continue;
            const QChar key = a->text().at(amp + 1).toLower();
            QVERIFY2(!keys.contains(key), qPrintable(a->text()));
            keys.insert(key);
        }
    }

    // Which commands end with the keyboard in the editor (which show hidden
    // text first is decrypted_text_test's).
    void commandTableFlags()
    {
        QStringList endInEditor;
        for (const mus::Command& c : frm_CText::Commands()) {
            if (c.kind == mus::RowKind::Item && c.EndsInEditor()) endInEditor << c.name;
        }
        QCOMPARE(endInEditor,
                 (QStringList{"OpenFile1", "SaveFileAs1", "Print1", "ExportAsPdf1", "GoToLine1", "SaveReaderPageAs1"}));
    }

    void menuBarOrder()
    {
        QStringList titles;
        for (QAction* a : Part<QMenuBar>(W(), "MainMenu1")->actions()) titles << a->text();
        QCOMPARE(titles, (QStringList{"&Action", "&Edit", "&Options", "&Help"}));
    }

    // clang-format off
    void toolbar_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::newRow("New") << "btn_New" << "New" << "" << 25;
        QTest::newRow("Open") << "btn_Open" << "Open" << "" << 25;
        QTest::newRow("Save") << "btn_Save" << "Save" << "" << 25;
        QTest::newRow("Cut") << "btn_Cut" << "Cut" << "" << 25;
        QTest::newRow("Copy") << "btn_Copy" << "Copy" << "" << 25;
        QTest::newRow("Paste") << "btn_Paste" << "Paste" << "" << 25;
        QTest::newRow("SelectAll") << "btn_SelectAll" << "Select All" << "" << 25;
        QTest::newRow("Delete") << "btn_Delete" << "Delete" << "" << 25;
        QTest::newRow("Undo") << "btn_Undo" << "Undo" << "" << 25;
        QTest::newRow("Encrypt") << "btn_Encrypt" << "" << "Encrypt" << 69;
        QTest::newRow("Decrypt") << "btn_Decrypt" << "" << "Decrypt" << 69;
    }
    // clang-format on

    void toolbar()
    {
        QFETCH(QString, name);
        QFETCH(QString, tooltip);
        QFETCH(QString, text);
        QFETCH(int, width);
        auto* button = W().findChild<QToolButton*>(name);
        QVERIFY(button != nullptr);
        QCOMPARE(button->toolTip(), tooltip);
        QCOMPARE(button->text(), text);
        // The design width; a wider desktop face may widen a captioned button
        // so that its caption is never cut short.
        if (text.isEmpty()) {
            QCOMPARE(button->width(), width);
        } else {
            QVERIFY(button->width() >= width);
            QVERIFY(button->width() >= button->sizeHint().width());
        }
        QCOMPARE(button->height(), 25);
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QVERIFY(!button->icon().isNull());
        // A look of its own when disabled.
        QVERIFY(button->icon().pixmap(16, QIcon::Disabled).toImage() != button->icon().pixmap(16).toImage());
    }

    void toolbarOrderAndGroups()
    {
        QList<QToolButton*> order;
        for (const char* name : {"btn_New", "btn_Open", "btn_Save", "btn_Cut", "btn_Copy", "btn_Paste", "btn_SelectAll",
                                 "btn_Delete", "btn_Undo", "btn_Encrypt", "btn_Decrypt"})
            order << ToolButton(W(), name);
        QList<int> gaps;
        for (int i = 1; i < order.size(); ++i) {
            const int gap = order[i]->x() - (order[i - 1]->x() + order[i - 1]->width());
            QVERIFY(gap >= 0);
            gaps << gap;
        }
        // Wider gaps after Save, Delete and Undo split the four groups.
        for (int i = 0; i < gaps.size(); ++i) {
            const bool groupEnd = i == 2 || i == 7 || i == 8;
            QVERIFY2(groupEnd ? gaps[i] >= 10 : gaps[i] < 10, qPrintable(QString::number(i)));
        }
    }

    // clang-format off
    void status_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selEnd");
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QString>("type");
        const QString normal = QStringLiteral(" Normal Text");
        const QString encrypted = QStringLiteral(" Encrypted Text");
        QTest::newRow("empty") << ""s << 0 << 0 << " 0 bytes" << normal;
        QTest::newRow("break counts two") << "ab\r\nc"s << 0 << 0 << " 5 bytes" << normal;
        QTest::newRow("one byte") << "x"s << 0 << 0 << " 1 byte" << normal;
        QTest::newRow("one selected") << "x"s << 0 << 1 << " 1 byte, 1 byte selected" << normal;
        QTest::newRow("1024, one selected") << std::string(1024, 'a') << 5 << 6 << " 1024 bytes, 1 byte selected"
                                            << normal;
        QTest::newRow("12, 5 selected") << "hello world!"s << 6 << 11 << " 12 bytes, 5 bytes selected" << normal;
        QTest::newRow("selection over break") << "ab\r\ncd"s << 1 << 4 << " 6 bytes, 4 bytes selected" << normal;
        QTest::newRow("utf-8 bytes") << "\xC3\xA9\xE2\x82\xAC"s << 0 << 1 << " 5 bytes, 2 bytes selected" << normal;
        QTest::newRow("tag once") << "MuS/0120/01/0/3\r\nCx2uq"s << 0 << 0 << " 22 bytes" << normal;
        QTest::newRow("tag twice") << "MuS/a\r\nMuS/b"s << 0 << 0 << " 12 bytes" << encrypted;
        QTest::newRow("tag twice far apart") << "x\r\nMuS/\r\ny\r\nz\r\nMuS/9\r\n"s << 0 << 0 << " 22 bytes"
                                             << encrypted;
        QTest::newRow("tag three times") << "MuS/\r\nMuS/\r\nMuS/"s << 0 << 0 << " 16 bytes" << encrypted;
        QTest::newRow("other case") << "mus/a\r\nMUS/b\r\nMuS/c"s << 0 << 0 << " 19 bytes" << normal;
        QTest::newRow("indented") << " MuS/a\r\n\tMuS/b"s << 0 << 0 << " 14 bytes" << normal;
        QTest::newRow("quoted") << "> MuS/a\r\n> MuS/b"s << 0 << 0 << " 16 bytes" << normal;
        QTest::newRow("too short") << "MuS\r\nMuS"s << 0 << 0 << " 8 bytes" << normal;
        QTest::newRow("tag after wrap point") << (std::string(300, 'w') + "MuS/\r\nMuS/") << 0 << 0 << " 310 bytes"
                                              << normal;
    }
    // clang-format on

    void status()
    {
        QFETCH(std::string, text);
        QFETCH(int, selStart);
        QFETCH(int, selEnd);
        QFETCH(QString, bytes);
        QFETCH(QString, type);
        // Word wrap on: detection still reads logical lines.
        MenuItem(W(), "WordWrap1")->trigger();
        W().Document().SetText(text);
        QTextCursor cursor = Editor(W())->textCursor();
        cursor.setPosition(selStart);
        cursor.setPosition(selEnd, QTextCursor::KeepAnchor);
        Editor(W())->setTextCursor(cursor);
        W().UpdateStatus();
        QCOMPARE(BytesText(W()), bytes);
        QCOMPARE(TextType(W()), type);
    }

    // Both texts of the right-hand field show whole, in the face that stands
    // in for the design face.
    void textTypeFieldFitsItsTexts()
    {
        for (const std::string& text : {"MuS/a\r\nMuS/b"s, "plain"s}) {
            W().Document().SetText(text);
            const QLabel* field = Panel(W(), "pan_TextType");
            // A framed label without an indent of its own indents its text by
            // half an "x".
            const int indent = field->indent() >= 0 ? field->indent()
                                                    : field->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2;
            const int room = field->contentsRect().width() - field->margin() * 2 - indent;
            QVERIFY2(field->fontMetrics().horizontalAdvance(field->text()) <= room, qPrintable(field->text()));
        }
    }

    void enabledButtons()
    {
        const QStringList always = {"btn_New", "btn_Open", "btn_Paste"};
        QCOMPARE(EnabledButtons(), always); // the design state
        W().UpdateStatus();
        QCOMPARE(EnabledButtons(), always);

        W().Document().SetText("abc"s); // a replacement leaves nothing to undo
        QStringList withText = always + QStringList{"btn_Decrypt", "btn_Encrypt", "btn_Save", "btn_SelectAll"};
        withText.sort();
        QCOMPARE(EnabledButtons(), withText);

        Editor(W())->selectAll();
        W().UpdateStatus();
        QStringList withSelection = withText + QStringList{"btn_Copy", "btn_Cut", "btn_Delete"};
        withSelection.sort();
        QCOMPARE(EnabledButtons(), withSelection);

        QTest::keyClick(Editor(W()), Qt::Key_End);
        QTest::keyClicks(Editor(W()), QStringLiteral("d"));
        QStringList withUndo = withText + QStringList{"btn_Undo"};
        withUndo.sort();
        QCOMPARE(EnabledButtons(), withUndo);
        QCOMPARE(BytesText(W()), QStringLiteral(" 4 bytes"));
        // The menu items stay enabled whatever the buttons show.
        W().Document().SetText(""s);
        for (QAction* a : W().findChildren<QAction*>()) {
            if (!a->objectName().isEmpty()) QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        }
    }

    void statusFollowsKeysAndMouse()
    {
        W().Document().SetText("abcdef"s);
        QCOMPARE(BytesText(W()), QStringLiteral(" 6 bytes"));
        QTest::keyClick(Editor(W()), Qt::Key_Home);
        // Shift+Right, twice: each key release refreshes the status.
        QTest::keyClick(Editor(W()), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(BytesText(W()), QStringLiteral(" 6 bytes, 1 byte selected"));
        QTest::keyClick(Editor(W()), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(BytesText(W()), QStringLiteral(" 6 bytes, 2 bytes selected"));

        // A selection made without the keyboard shows with the next mouse move.
        QTextCursor cursor = Editor(W())->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        Editor(W())->setTextCursor(cursor);
        QCOMPARE(BytesText(W()), QStringLiteral(" 6 bytes, 2 bytes selected"));
        QTest::mouseMove(Editor(W())->viewport(), QPoint(30, 5));
        QTRY_COMPARE(BytesText(W()), QStringLiteral(" 6 bytes, 5 bytes selected"));
    }

    // A click changes the selection without a move after it: the release
    // shows it, whether the click dropped a selection or a double-click made one.
    void statusFollowsClicks()
    {
        W().Document().SetText("abc def"s);
        Editor(W())->selectAll();
        W().UpdateStatus();
        QCOMPARE(BytesText(W()), QStringLiteral(" 7 bytes, 7 bytes selected"));
        QTextCursor second(Editor(W())->document());
        second.setPosition(1);
        const QPoint inFirstWord = Editor(W())->cursorRect(second).center();
        QTest::mouseClick(Editor(W())->viewport(), Qt::LeftButton, {}, inFirstWord);
        QTRY_COMPARE(BytesText(W()), QStringLiteral(" 7 bytes"));
        QTest::mouseDClick(Editor(W())->viewport(), Qt::LeftButton, {}, inFirstWord);
        QTest::mouseRelease(Editor(W())->viewport(), Qt::LeftButton, {}, inFirstWord);
        QTRY_COMPARE(BytesText(W()), QStringLiteral(" 7 bytes, 3 bytes selected"));
    }

    void appearanceLeavesStatusAlone()
    {
        W().Document().SetText("abc"s);
        Editor(W())->selectAll(); // not shown until the status runs
        MenuItem(W(), "WordWrap1")->trigger();
        MenuItem(W(), "WordWrap1")->trigger();
        QCOMPARE(BytesText(W()), QStringLiteral(" 3 bytes"));
    }

    void tabInsertsTab()
    {
        QTest::keyClick(Editor(W()), Qt::Key_Tab);
        QCOMPARE(W().Document().Text(), "\t"s);
        QVERIFY(Editor(W())->hasFocus());
    }

    // Shift+Enter starts a new line as Enter does: a line break of two bytes,
    // not a line separator character inside one line.
    void shiftEnterStartsALine()
    {
        QTest::keyClicks(Editor(W()), QStringLiteral("a"));
        QTest::keyClick(Editor(W()), Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(Editor(W()), QStringLiteral("b"));
        QCOMPARE(W().Document().Text(), "a\r\nb"s);
        QCOMPARE(W().Document().LineCount(), 2);
        QCOMPARE(BytesText(W()), QStringLiteral(" 4 bytes"));
    }

    void shortcutsReachTheWindow_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("Ctrl+N") << "New1" << int(Qt::Key_N) << ctrl;
        QTest::newRow("Ctrl+O") << "OpenFile1" << int(Qt::Key_O) << ctrl;
        QTest::newRow("Ctrl+S") << "SaveFileAs1" << int(Qt::Key_S) << ctrl;
        QTest::newRow("Ctrl+E") << "Encrypt1" << int(Qt::Key_E) << ctrl;
        QTest::newRow("Ctrl+D") << "Decrypt1" << int(Qt::Key_D) << ctrl;
        QTest::newRow("Ctrl+Shift+E") << "EncryptSelection1" << int(Qt::Key_E)
                                      << int(Qt::ControlModifier | Qt::ShiftModifier);
        QTest::newRow("Ctrl+Shift+D") << "DecryptInPlace1" << int(Qt::Key_D)
                                      << int(Qt::ControlModifier | Qt::ShiftModifier);
        QTest::newRow("Ctrl+Z") << "Undo1" << int(Qt::Key_Z) << ctrl;
        QTest::newRow("Ctrl+X") << "Cut1" << int(Qt::Key_X) << ctrl;
        QTest::newRow("Ctrl+C") << "Copy1" << int(Qt::Key_C) << ctrl;
        QTest::newRow("Ctrl+V") << "Paste1" << int(Qt::Key_V) << ctrl;
        QTest::newRow("Ctrl+Del") << "Delete1" << int(Qt::Key_Delete) << ctrl;
        QTest::newRow("F1") << "Contents1" << int(Qt::Key_F1) << int(Qt::NoModifier);
        QTest::newRow("Ctrl+F") << "Find1" << int(Qt::Key_F) << ctrl;
        QTest::newRow("F3") << "FindNext1" << int(Qt::Key_F3) << int(Qt::NoModifier);
        QTest::newRow("Shift+F3") << "FindPrevious1" << int(Qt::Key_F3) << int(Qt::ShiftModifier);
        QTest::newRow("Ctrl+H") << "Replace1" << int(Qt::Key_H) << ctrl;
        QTest::newRow("Ctrl+G") << "GoToLine1" << int(Qt::Key_G) << ctrl;
    }

    // With the editor focused, holding text and a selection, each shortcut
    // runs the window's action once and the editor does nothing of its own.
    void shortcutsReachTheWindow()
    {
        QFETCH(QString, action);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QAction* item = W().findChild<QAction*>(action);
        QVERIFY(item != nullptr);
        // Only the routing is under test: the commands stay out of it.
        QObject::disconnect(item, &QAction::triggered, &W(), nullptr);
        QSignalSpy triggered(item, &QAction::triggered);

        QApplication::clipboard()->setText(QStringLiteral("clip"));
        QTest::keyClicks(Editor(W()), QStringLiteral("typed"));
        QTextCursor cursor = Editor(W())->textCursor();
        cursor.setPosition(1);
        cursor.setPosition(3, QTextCursor::KeepAnchor);
        Editor(W())->setTextCursor(cursor);
        QVERIFY(Editor(W())->hasFocus());

        QTest::keyClick(Editor(W()), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(triggered.count(), 1);
        QCOMPARE(W().Document().Text(), "typed"s);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("clip"));
    }

    void copyWithoutSelectionIsTheWindows()
    {
        QObject::disconnect(MenuItem(W(), "Copy1"), &QAction::triggered, &W(), nullptr);
        QSignalSpy triggered(MenuItem(W(), "Copy1"), &QAction::triggered);
        QTest::keyClick(Editor(W()), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(triggered.count(), 1);
    }

    void editorKeepsItsOtherBindings()
    {
        QTest::keyClicks(Editor(W()), QStringLiteral("abc"));
        QTest::keyClick(Editor(W()), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(W().Document().SelectionLength(), 3);
    }

    void failureReachesTheReport()
    {
        mus::fake::Log log;
        DesktopProbe probe(log);
        FailingHandler handler;
        auto* button = new QToolButton(Part<QToolBar>(W(), "pan_Toolbar"));
        mus::desktop::ConnectGuarded(button, &QToolButton::clicked, &handler, &FailingHandler::Run);
        button->click();
        QCOMPARE(log, mus::fake::Log{ReportLine("Cannot open file /nowhere/x.mus")});

        handler.foreign = true;
        button->click();
        QCOMPARE(log.size(), 2u);
        QVERIFY(log[1].starts_with(mus::fake::BoxLine(mus::BoxKind::Error, "OK", "Murmurscript: ")));

        // The window goes on working.
        QTest::keyClicks(Editor(W()), QStringLiteral("still here"));
        QCOMPARE(BytesText(W()), QStringLiteral(" 10 bytes"));
    }

    void failureReportBox()
    {
        QString title, text;
        QStringList buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        answer_.Add<QMessageBox>([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            for (QAbstractButton* b : box->buttons()) buttons << b->text();
            box->buttons().first()->click();
        });
        const bool ok = mus::desktop::RunGuarded(&W(), [] { throw mus::Failure("Text exceeds memo capacity"); });
        QVERIFY(!ok);
        QCOMPARE(title, QStringLiteral("Murmurscript"));
        QCOMPARE(text, QStringLiteral("Text exceeds memo capacity."));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, QStringList{"OK"});
    }

    void aboutBox()
    {
        QString version, platform, caption, platformLine;
        bool survivedEscape = false, okDefault = false, okFocused = false, modal = false;
        QStringList texts, settingsTips;
        answer_.Add<frm_About>([&](frm_About* about) {
            caption = about->windowTitle();
            modal = about->isModal();
            version = about->lab_Version->text();
            platform = about->lab_Platform->text();
            okDefault = about->cmd_OK->isDefault();
            // The focus arrives with the window's activation, which a loaded machine may deliver late.
            okFocused = QTest::qWaitFor([about] { return about->cmd_OK->hasFocus(); });
            for (QLabel* l : about->findChildren<QLabel*>()) texts << l->text();
            for (const char* name : {"lab_Settings", "lab_Settings2"})
                settingsTips << about->findChild<QLabel*>(QLatin1String(name))->toolTip();
            platformLine = PlatformLineProblems(*about);
            QTest::keyClick(about, Qt::Key_Escape);
            survivedEscape = about->isVisible();
            about->cmd_OK->click();
        });
        MenuItem(W(), "About2")->trigger();
        QCOMPARE(caption, QStringLiteral("About"));
        QVERIFY(modal);
        QCOMPARE(version, QStringLiteral("Version 1.40 - Dec 7, 2026"));
        // The version an older reader names for a Method 02 block, and what this one reads.
        QVERIFY(texts.contains(QStringLiteral("Reads and writes Methods 00, 01 and 02.")));
        QCOMPARE(platform, QStringLiteral("%1-bit").arg(sizeof(void*) * 8));
        QVERIFY2(platformLine.isEmpty(), qPrintable(platformLine));
        QVERIFY(survivedEscape);
        QVERIFY(okDefault);
        QVERIFY(okFocused);
        QCOMPARE(texts.count(QStringLiteral("Murmurscript")), 1); // one label draws the relief
        QVERIFY(texts.contains(QStringLiteral("Version Platform:")));
        QVERIFY(texts.join(QLatin1Char(' ')).contains(QLatin1String("GPL-3.0-or-later")));
        QVERIFY(texts.join(QLatin1Char(' ')).contains(QLatin1String("MUS.INI")));
        // The settings lines name the very file the settings are written to.
        QCOMPARE(settingsTips, QStringList(2, mus::SettingsStore::DefaultPath()));

        // The close box closes it too.
        bool closed = false;
        answer_.Add([&closed](QDialog* d) { closed = d->close(); });
        MenuItem(W(), "About2")->trigger();
        QVERIFY(closed);
    }

    void helpMenu()
    {
        QTest::keyClick(Editor(W()), Qt::Key_F1);
        mus::HelpWindow* help = mus::CurrentHelpWindow();
        QVERIFY(help != nullptr);
        QVERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        QVERIFY(!help->isModal());
        QCOMPARE(mus::test::HelpPage(*help).fileName(), QStringLiteral("contents.html"));

        MenuItem(W(), "HowtoUseHelp1")->trigger();
        QCOMPARE(mus::test::HelpPage(*help).fileName(), QStringLiteral("howto.html"));

        MenuItem(W(), "SearchforHelpOn1")->trigger();
        auto* keyword = help->findChild<QLineEdit*>(QStringLiteral("edt_HelpKeyword"));
        QVERIFY(keyword != nullptr);
        QVERIFY(keyword->isVisible());
        QVERIFY(keyword->text().isEmpty());
    }

    void helpJumpLandsOnEachTopic_data()
    {
        QTest::addColumn<QString>("topic");
        for (const char* t : {"Help_Password1", "Help_Password2", "Help_Password3", "Help_EncodingMethod"}) {
            QTest::newRow(t) << QString::fromLatin1(t);
        }
    }

    void helpJumpLandsOnEachTopic()
    {
        QFETCH(QString, topic);
        QVERIFY(mus::desktop::HelpJump(topic));
        QCOMPARE(mus::test::HelpPage(*mus::CurrentHelpWindow()).fragment(), topic);
        QVERIFY(!mus::desktop::HelpJump(QStringLiteral("Help_NoSuchTopic")));
    }

    // Closing the main window ends the program even with the help window open.
    void closingQuitsWithHelpOpen()
    {
        mus::desktop::ShowHelpContents();
        QTimer::singleShot(50, &W(), [this] { W().close(); });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        watchdog.start(5000);
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
