#include "editor/window/find_bar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

#include <algorithm>
#include <vector>

#include "editor/desktop/desktop.h"
#include "editor/document/byte_codec.h"
#include "editor/document/byte_document.h"

namespace mus {

namespace {

const QString kNotFound = QStringLiteral("Not found.");

// The text a field holds, without the line breaks and zero characters a
// paste may have put into it: a match never spans lines, and the editor
// holds no zero characters.
QString OneLine(const QString& text)
{
    QString line = text;
    line.removeIf([](QChar c) {
        return c == u'\n' || c == u'\r' || c == u'\0' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
    });
    return line;
}

QLabel* Label(const QString& caption, QWidget* buddy, const char* name, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

QLineEdit* Field(const char* name, const QString& accessibleName, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setAccessibleName(accessibleName);
    field->setClearButtonEnabled(false);
    return field;
}

} // namespace

FindBar::FindBar(QPlainTextEdit& editor, const ByteDocument& document, QWidget* parent)
    : QWidget(parent), editor_(editor), document_(document)
{
    setObjectName(QStringLiteral("pan_Find"));
    setAccessibleName(QStringLiteral("Find"));

    txt_Find = Field("txt_Find", QStringLiteral("Find"), this);
    txt_Replace = Field("txt_Replace", QStringLiteral("Replace with"), this);
    chk_MatchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    chk_MatchCase->setObjectName(QStringLiteral("chk_MatchCase"));
    chk_WholeWords = new QCheckBox(QStringLiteral("&Whole words"), this);
    chk_WholeWords->setObjectName(QStringLiteral("chk_WholeWords"));
    cmd_Replace = new QPushButton(QStringLiteral("&Replace"), this);
    cmd_Replace->setObjectName(QStringLiteral("cmd_Replace"));
    cmd_ReplaceAll = new QPushButton(QStringLiteral("Replace A&ll"), this);
    cmd_ReplaceAll->setObjectName(QStringLiteral("cmd_ReplaceAll"));
    for (QPushButton* b : {cmd_Replace, cmd_ReplaceAll}) b->setAutoDefault(false);
    cmd_CloseFind = new QToolButton(this);
    cmd_CloseFind->setObjectName(QStringLiteral("cmd_CloseFind"));
    cmd_CloseFind->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    cmd_CloseFind->setAutoRaise(true);
    cmd_CloseFind->setAccessibleName(QStringLiteral("Close the find bar"));
    cmd_CloseFind->setToolTip(QStringLiteral("Close (Escape)"));
    lab_FindNote = new QLabel(this);
    lab_FindNote->setObjectName(QStringLiteral("lab_FindNote"));

    // Two rows, their labels and fields in line; the note takes the room
    // that is left. Everything keeps the palette's colours.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(2);
    grid->addWidget(Label(QStringLiteral("F&ind:"), txt_Find, "lab_Find", this), 0, 0);
    grid->addWidget(txt_Find, 0, 1);
    grid->addWidget(chk_MatchCase, 0, 2);
    grid->addWidget(chk_WholeWords, 0, 3);
    grid->addWidget(lab_FindNote, 0, 4);
    grid->addWidget(cmd_CloseFind, 0, 5);
    grid->addWidget(Label(QStringLiteral("Re&place with:"), txt_Replace, "lab_Replace", this), 1, 0);
    grid->addWidget(txt_Replace, 1, 1);
    grid->addWidget(cmd_Replace, 1, 2);
    grid->addWidget(cmd_ReplaceAll, 1, 3);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(4, 3);

    setTabOrder(txt_Find, txt_Replace);
    setTabOrder(txt_Replace, chk_MatchCase);
    setTabOrder(chk_MatchCase, chk_WholeWords);
    setTabOrder(chk_WholeWords, cmd_Replace);
    setTabOrder(cmd_Replace, cmd_ReplaceAll);
    setTabOrder(cmd_ReplaceAll, cmd_CloseFind);

    using desktop::ConnectGuarded;
    ConnectGuarded(txt_Find, &QLineEdit::textEdited, this, &FindBar::SearchAsYouType);
    ConnectGuarded(chk_MatchCase, &QCheckBox::toggled, this, &FindBar::SearchAsYouType);
    ConnectGuarded(chk_WholeWords, &QCheckBox::toggled, this, &FindBar::SearchAsYouType);
    ConnectGuarded(cmd_Replace, &QPushButton::clicked, this, &FindBar::ReplaceOne);
    ConnectGuarded(cmd_ReplaceAll, &QPushButton::clicked, this, &FindBar::ReplaceAll);
    ConnectGuarded(cmd_CloseFind, &QToolButton::clicked, this, &FindBar::Close);
    for (QLineEdit* field : {txt_Find, txt_Replace}) field->installEventFilter(this);
    hide();
}

void FindBar::SetReplaceShown(bool shown)
{
    for (const char* name : {"lab_Replace", "txt_Replace", "cmd_Replace", "cmd_ReplaceAll"})
        findChild<QWidget*>(QString::fromLatin1(name))->setVisible(shown);
}

SearchOptions FindBar::Options() const
{
    return {chk_MatchCase->isChecked(), chk_WholeWords->isChecked()};
}

void FindBar::Open(bool replace)
{
    const QTextCursor cursor = editor_.textCursor();
    const QString selected = cursor.selectedText();
    if (!selected.isEmpty() && OneLine(selected) == selected) txt_Find->setText(selected);
    anchor_ = cursor.selectionStart();
    SetReplaceShown(replace);
    SetNote({});
    show();
    txt_Find->setFocus(Qt::ShortcutFocusReason);
    txt_Find->selectAll();
}

void FindBar::Close()
{
    hide();
    editor_.setFocus(Qt::OtherFocusReason);
}

void FindBar::FindNext()
{
    if (txt_Find->text().isEmpty()) return Open(false);
    if (isHidden()) {
        SetReplaceShown(false);
        show();
    }
    Search(editor_.textCursor().selectionEnd(), SearchDirection::Forward);
}

void FindBar::FindPrevious()
{
    if (txt_Find->text().isEmpty()) return Open(false);
    if (isHidden()) {
        SetReplaceShown(false);
        show();
    }
    Search(editor_.textCursor().selectionStart(), SearchDirection::Backward);
}

void FindBar::Search(qsizetype from, SearchDirection direction)
{
    const QString needle = OneLine(txt_Find->text());
    if (needle.isEmpty()) return;
    bool wrapped = false;
    const qsizetype pos = FindTextWrapping(editor_.document()->toRawText(), needle, from, direction, Options(),
                                           wrapped);
    if (pos < 0) return NotFound();
    Select(pos, pos + needle.size());
    anchor_ = pos;
    if (!wrapped) return SetNote({});
    SetNote(direction == SearchDirection::Forward ? QStringLiteral("Passed the end; continued from the top.")
                                                  : QStringLiteral("Passed the start; continued from the bottom."));
}

void FindBar::SearchAsYouType()
{
    const QString needle = OneLine(txt_Find->text());
    bool wrapped = false;
    const qsizetype pos = needle.isEmpty() ? -1
                                           : FindTextWrapping(editor_.document()->toRawText(), needle, anchor_,
                                                              SearchDirection::Forward, Options(), wrapped);
    if (pos < 0) {
        // Back where the search began, with nothing selected.
        Select(anchor_, anchor_);
        if (needle.isEmpty()) return SetNote({});
        // One sound when the text typed stops matching, not one a key.
        if (lab_FindNote->text() != kNotFound) NotFound();
        return;
    }
    Select(pos, pos + needle.size());
    SetNote(wrapped ? QStringLiteral("Passed the end; continued from the top.") : QString());
}

void FindBar::ReplaceOne()
{
    const QString needle = OneLine(txt_Find->text());
    if (needle.isEmpty()) return txt_Find->setFocus(Qt::OtherFocusReason);
    QTextCursor cursor = editor_.textCursor();
    const qsizetype start = cursor.selectionStart();
    if (cursor.selectionEnd() - start == needle.size() &&
        FindText(editor_.document()->toRawText(), needle, start, SearchDirection::Forward, Options()) == start) {
        cursor.insertText(OneLine(txt_Replace->text()));
        editor_.setTextCursor(cursor);
        emit selectionMoved();
    }
    Search(cursor.selectionEnd(), SearchDirection::Forward);
}

void FindBar::ReplaceAll()
{
    const QString needle = OneLine(txt_Find->text());
    if (needle.isEmpty()) return txt_Find->setFocus(Qt::OtherFocusReason);
    const QString replacement = OneLine(txt_Replace->text());
    const QString text = editor_.document()->toRawText();
    const qsizetype n = needle.size();
    std::vector<qsizetype> matches;
    std::int64_t bytes = document_.TextLength();
    for (qsizetype pos = FindText(text, needle, 0, SearchDirection::Forward, Options()); pos >= 0;
         pos = FindText(text, needle, pos + n, SearchDirection::Forward, Options())) {
        matches.push_back(pos);
        bytes += ByteLength(replacement) - ByteLength(QStringView(text).sliced(pos, n));
    }
    if (matches.empty()) return NotFound();
    CheckEditorCapacity(bytes);

    // The text from the first match to the end of the last, rebuilt, replaces
    // that span in one edit: one step for Undo.
    QString rebuilt;
    qsizetype copied = matches.front();
    for (const qsizetype pos : matches) {
        rebuilt += QStringView(text).sliced(copied, pos - copied);
        rebuilt += replacement;
        copied = pos + n;
    }
    QTextCursor cursor(editor_.document());
    cursor.setPosition(static_cast<int>(matches.front()));
    cursor.setPosition(static_cast<int>(copied), QTextCursor::KeepAnchor);
    cursor.insertText(rebuilt);
    editor_.setTextCursor(cursor);
    editor_.ensureCursorVisible();
    anchor_ = cursor.position();
    SetNote(QStringLiteral("%1 replaced.").arg(matches.size()));
    emit selectionMoved();
}

void FindBar::Select(qsizetype start, qsizetype end)
{
    // The text may have become shorter since the bar opened.
    const qsizetype last = editor_.document()->characterCount() - 1;
    start = std::min(start, last);
    end = std::min(end, last);
    QTextCursor cursor = editor_.textCursor();
    cursor.setPosition(static_cast<int>(start));
    cursor.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
    editor_.setTextCursor(cursor);
    editor_.ensureCursorVisible();
    emit selectionMoved();
}

void FindBar::SetNote(const QString& note)
{
    lab_FindNote->setText(note);
    // Read with the search field, where the keyboard is.
    txt_Find->setAccessibleDescription(note);
}

void FindBar::NotFound()
{
    SetNote(kNotFound);
    desktop::PlaySound(AlertSound::Exclamation);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    // A field sends Enter on to its parent after reporting it, so the key is
    // taken here, before the field sees it.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            desktop::RunGuarded(this, [this, watched, key] {
                if (watched == txt_Replace) return ReplaceOne();
                if (key->modifiers() & Qt::ShiftModifier) return FindPrevious();
                FindNext();
            });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    // Escape reaches the bar from any of its controls, none of which uses it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) return Close();
    QWidget::keyPressEvent(event);
}

} // namespace mus
