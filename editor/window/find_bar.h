#pragma once
// The find bar pan_Find at the bottom of the main window: the search field,
// "Match case" and "Whole words", and in its replace form the replace field
// with "Replace" and "Replace All". A note beside the options says when a
// search wrapped, found nothing or how many were replaced; "Not found." comes
// with the exclamation sound and no box.
//
// Typing in the search field searches as you type, from where the bar was
// opened. Enter and F3 find the next match, Shift+Enter and Shift+F3 the
// previous one; Escape closes the bar and leaves the match selected in the
// editor, which gets the keyboard.

#include <QWidget>

#include "editor/window/text_search.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace mus {

class ByteDocument;

class FindBar final : public QWidget {
    Q_OBJECT

public:
    FindBar(QPlainTextEdit& editor, const ByteDocument& document, QWidget* parent);

    // Find (or Replace, with the replace field): shows the bar with the
    // keyboard in the search field. A selection of one line becomes the
    // search text; searching as you type starts at the selection.
    void Open(bool replace);
    // Find Next and Find Previous: the next match after the selection, or
    // the last before it, going round the text's end. With no search text
    // they open the bar instead.
    void FindNext();
    void FindPrevious();
    // Replace: the selection, when it is a match, becomes the replace text,
    // and the next match is selected.
    void ReplaceOne();
    // Replace All: every match, in one step that one Undo takes back.
    void ReplaceAll();
    // Hides the bar; the editor gets the keyboard.
    void Close();

    QLineEdit* txt_Find = nullptr;
    QLineEdit* txt_Replace = nullptr;
    QCheckBox* chk_MatchCase = nullptr;
    QCheckBox* chk_WholeWords = nullptr;
    QPushButton* cmd_Replace = nullptr;
    QPushButton* cmd_ReplaceAll = nullptr;
    QToolButton* cmd_CloseFind = nullptr;
    QLabel* lab_FindNote = nullptr;

signals:
    // A search or a replacement moved the editor's selection.
    void selectionMoved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetReplaceShown(bool shown);
    SearchOptions Options() const;
    // Searches from `from` in `direction`, going round the text's end, and
    // selects the match or says there is none.
    void Search(qsizetype from, SearchDirection direction);
    void SearchAsYouType();
    void Select(qsizetype start, qsizetype end);
    void SetNote(const QString& note);
    void NotFound();

    QPlainTextEdit& editor_;
    const ByteDocument& document_;
    // Where searching as you type starts: the selection's start when the
    // bar opened, or the last match found.
    qsizetype anchor_ = 0;
};

} // namespace mus
