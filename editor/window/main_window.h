#pragma once
// The main window frm_CText: editor, toolbar, menu bar and status bar. Its
// commands are the rows of one table (command_table.cpp), from which its
// menus and toolbar are built; their handlers live in several source files,
// one per family of commands:
//   main_window.cpp      window, status, help menu, About
//   file_commands.cpp    New, Open, Save, Exit
//   edit_commands.cpp    Undo, Cut, Copy, Paste, Delete, Select All
//   appearance.cpp       Font, Text Color, Background Color, Word Wrap, and
//                        the appearance settings read and written at start and end
//   cipher_commands.cpp  Encrypt, Encrypt With Specific Method, Encrypt
//                        Selection, Decrypt, Decrypt in Place
//   print_commands.cpp   Print, Export as PDF
//   recent_commands.cpp  the Recent Files submenu, Clear List, and the list
//                        read and written at start and end
//   search_commands.cpp  Find, Find Next, Find Previous, Replace, Go to Line
//                        (the find bar itself is find_bar.cpp)
// Decrypted text in the document is watched over by DecryptedTextGuard
// (decrypted_text_guard.h): marked on the clipboard, cleared from it, hidden
// or taken back from the screen when the user is away.

#include <QKeySequence>
#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cipher/method02.h"
#include "editor/settings/color_value.h"
#include "editor/settings/recent_files.h"
#include "editor/window/command_table.h"

class QAction;
class QColorDialog;
class QFileDialog;
class QFontDialog;
class QFrame;
class QIcon;
class QKeyEvent;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPrinter;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace mus {
class ByteDocument;
class CommandUser;
class DecryptedTextGuard;
class FindBar;
class SettingsStore;
class WindowCommandUser;
struct AppearanceSettings;
struct PrintJob;
} // namespace mus

class frm_CText : public QMainWindow {
    Q_OBJECT

public:
    // Builds the window and runs FormCreate, which reads the appearance settings.
    explicit frm_CText(QWidget* parent = nullptr);
    // Runs FormDestroy, which writes the appearance settings.
    ~frm_CText() override;

    frm_CText(const frm_CText&) = delete;
    frm_CText& operator=(const frm_CText&) = delete;

    // The document as bytes: length, logical lines, whole-text replacement.
    mus::ByteDocument& Document() { return *document_; }
    const mus::ByteDocument& Document() const { return *document_; }

    // What keeps decrypted text from outliving its use.
    mus::DecryptedTextGuard& DecryptedText() { return *decrypted_; }

    // Whom the commands ask and tell: the window's own dialogs, boxes,
    // sounds and busy cursor, or the user put in their place (tests put a
    // scripted one); nullptr brings the window's own back.
    void SetUser(mus::CommandUser* user);

    // What a Method 02 key derivation costs; tests lower it.
    mus::Costs Method02Costs = mus::kDefaultCosts;

    // Open's last step: reads the file at `path` into the editor as its whole
    // text (line breaks made CR LF) and warns when a zero byte cut it short.
    void OpenPath(const QString& path);
    // Open after a file was chosen (by the dialog or by a drop): asks before
    // replacing text the editor holds, then opens `path`.
    void OpenPathAsking(const QString& path);

    // Lets `filter` see the drags over the window first, the editor's
    // included, and makes the window take drops.
    void WatchDrops(QObject* filter);

    // The status routine: the byte counts, the text type and which toolbar
    // buttons are enabled, from the document and its selection.
    void UpdateStatus();

    // Every command of the window, one row each, in the menus' order.
    static std::span<const mus::Command> Commands();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The user the commands talk to (see SetUser).
    mus::CommandUser& User() { return *user_; }

    // ---- Building the window (main_window.cpp, command_table.cpp) ----
    void BuildEditor();
    void BuildFindBar();
    void BuildMenu();
    void AddMenuItem(QMenu* menu, const mus::Command& command);
    void BuildToolbar();
    void MakeToolbar();
    void AddToolButton(const mus::Command& command);
    void AddToolbarGap();
    void BuildStatusBar();
    // The toolbar button with this object name.
    QToolButton* Button(std::string_view name) const;
    // The buttons' enabled state for a text of `len` bytes with `sel` bytes
    // selected.
    void EnableButtons(std::int64_t len, std::int64_t sel, bool canUndo);
    // The shortcut guard: `key` is one of the commands' shortcuts, which the
    // editor must leave to the window.
    bool IsWindowShortcut(const QKeyEvent& key) const;
    // Runs the row's handler, as every menu item and toolbar button does.
    void RunCommand(const mus::Command& command);

    // ---- Handlers (each runs through the guarded wrapper when the user
    // triggers it, so an escaping failure reaches the failure report) ----

    // file_commands.cpp
    void btn_NewClick();
    void btn_OpenClick();
    void btn_SaveClick();
    void Exit1Click();
    // Activates the window and gives the editor the keyboard focus; runs
    // after Open and Save.
    void FocusEditor();

    // edit_commands.cpp
    void btn_UndoClick();
    void btn_CutClick();
    void btn_CopyClick();
    void btn_PasteClick();
    void btn_DeleteClick();
    void btn_SelectAllClick();

    // cipher_commands.cpp
    void btn_EncryptClick();
    void EncryptUsingMethod1Click();
    void EncryptSelection1Click();
    void btn_DecryptClick();
    void DecryptInPlace1Click();

    // search_commands.cpp
    void Find1Click();
    void FindNext1Click();
    void FindPrevious1Click();
    void Replace1Click();
    void GoToLine1Click();

    // appearance.cpp
    void Font1Click();
    void TextColor1Click();
    void BackgroundColor1Click();
    void WordWrap1Click();
    void LoadAppearance(const mus::SettingsStore& settings); // FormCreate
    void SaveAppearance(); // FormDestroy: writes the settings file
    mus::AppearanceSettings CurrentAppearance() const;
    void ApplyColors();

    // print_commands.cpp
    void Print1Click();
    void ExportAsPdf1Click();
    // The document as Print and Export as PDF put it on paper.
    mus::PrintJob MakePrintJob() const;

    // recent_commands.cpp
    void RecentFiles1Fill(); // the submenu's entries, as it is about to show
    void ClearList1Click();
    // A file chosen in the submenu: opened as Open does; a file that is gone
    // leaves the list and is reported.
    void OpenRecentFile(const QString& path);
    // A file was opened or saved: it goes to the top of the recent list, and
    // its name into the header of what is printed.
    void NoteFileUsed(const QString& path);
    void LoadRecentFiles(const mus::SettingsStore& settings); // FormCreate

    // main_window.cpp
    void Contents1Click();
    void SearchforHelpOn1Click();
    void HowtoUseHelp1Click();
    void About2Click();
    // file_commands.cpp
    void SaveReaderPageAs1Click();
    void txt_CTextChange();
    void FormCreate();
    void FormDestroy();

    // ---- Controls, by their design names (each also its objectName, by
    // which tests find them) ----
    QMenuBar* MainMenu1 = nullptr;
    QToolBar* pan_Toolbar = nullptr;
    QFrame* pan_CText = nullptr;
    QPlainTextEdit* txt_CText = nullptr;
    QStatusBar* pan_Status = nullptr;
    QLabel* pan_Bytes = nullptr;
    QLabel* pan_TextType = nullptr;
    mus::FindBar* pan_Find = nullptr; // under the editor, shown by Find and Replace

    // The toolbar's buttons, by object name (btn_New, ...), in their order.
    std::vector<std::pair<std::string, QToolButton*>> buttons_;
    // Only WordWrap1 changes: its check mark. Menu items are never disabled.
    QAction* WordWrap1 = nullptr;
    // The shortcuts of all commands: the editor leaves them to the window.
    std::vector<QKeySequence> guardedKeys_;

    // The window's dialogs, created by the command that first needs them
    // (with this window as parent, which frees them) and kept for later uses.
    QFileDialog* OpenDialog1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    QFileDialog* SaveReaderPageDialog1 = nullptr;
    QFontDialog* FontDialog1 = nullptr;
    QColorDialog* ColorDialog1 = nullptr;
    QFileDialog* ExportDialog1 = nullptr;
    std::unique_ptr<QPrinter> Printer1; // keeps the printer chosen for the next Print

    // The files last opened or saved, most recent first, and the last of all
    // in this run (empty: none yet).
    mus::RecentFiles recentFiles_;
    QString lastFile_;

    // One-shot: the next Encrypt lets the user choose the method.
    bool AskForMethod = false;

    // The editor's text and background colours as stored (0x00BBGGRR, or
    // negative for a desktop palette colour).
    std::int32_t FontColorValue = mus::kColorBlack;
    std::int32_t BackColorValue = mus::kSystemWindowColor;

    std::unique_ptr<mus::ByteDocument> document_;
    // Declared after the document, which it watches, so it goes first.
    std::unique_ptr<mus::DecryptedTextGuard> decrypted_;
    std::unique_ptr<mus::WindowCommandUser> ownUser_;
    mus::CommandUser* user_ = nullptr;
};
