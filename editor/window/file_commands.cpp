// New, Open, Save and Exit.
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <memory>
#include <string>
#include <string_view>

#include "cipher/armoured_block.h"
#include "cipher/commands/command_ui.h"
#include "cipher/method02.h"
#include "editor/document/byte_document.h"
#include "editor/document/document_file.h"
#include "editor/window/file_dialogs.h"
#include "editor/window/main_window.h"
#include "editor/window/reader_page.h"

using mus::AlertSound;
using mus::Answer;
using mus::BoxKind;
using mus::Button;

namespace {

const QString kMusFilter = QStringLiteral("Murmurscript (*.mus)");
const QString kTextFilter = QStringLiteral("Text (*.txt)");
const QString kAllFilesFilter = QStringLiteral("All Files (*.*)");
constexpr int kAllFilesEntry = 2;

bool Confirm(mus::CommandUser& user, std::string_view question)
{
    return user.Alert(AlertSound::Question, BoxKind::Confirm, question, Button::Yes | Button::No) == Answer::Yes;
}

// QFileDialog takes an entry's patterns from its parentheses, so "All Files
// (*.*)" would hide every name without a dot. The dialog's own handler of
// its file type box sets the patterns first; this one, connected later, then
// widens the last entry's pattern to "*". Qt's save dialog also swaps the
// extension of a typed name for the new entry's, which for "*.*" would give
// "name.*": the name as it was before the switch is put back.
void WidenAllFilesEntry(QFileDialog* dialog)
{
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    auto* model = dialog->findChild<QFileSystemModel*>();
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (types == nullptr || model == nullptr || name == nullptr) return;
    auto typed = std::make_shared<QString>();
    QObject::connect(types, &QComboBox::currentIndexChanged, dialog, [name, typed] { *typed = name->text(); });
    QObject::connect(types, &QComboBox::activated, dialog, [dialog, model, name, typed](int index) {
        if (index != kAllFilesEntry) return;
        model->setNameFilters({QStringLiteral("*")});
        if (dialog->acceptMode() == QFileDialog::AcceptSave) name->setText(*typed);
    });
}

// The entry `filter` selected, with its real patterns.
void SelectFilter(QFileDialog* dialog, const QString& filter)
{
    dialog->selectNameFilter(filter);
    if (filter != kAllFilesFilter) return;
    if (auto* model = dialog->findChild<QFileSystemModel*>()) model->setNameFilters({QStringLiteral("*")});
}

const QString kDefaultSuffix = QStringLiteral("mus");

// The extension a typed name without one gets: the chosen type's, so a
// document saved as Text is "notes.txt"; "mus" otherwise.
QString SuffixFor(const QString& filter)
{
    return filter == kTextFilter ? QStringLiteral("txt") : kDefaultSuffix;
}

// Qt's dialog adds the default suffix to every name without a dot, so in an
// open dialog a file such as "README" could never be opened. A name that
// exists as typed is taken as it is; any other still gets ".mus".
class OpenFileDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

protected:
    void accept() override
    {
        const auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const bool exists = name != nullptr && QFileInfo(directory(), name->text()).isFile();
        setDefaultSuffix(exists ? QString() : kDefaultSuffix);
        QFileDialog::accept();
    }
};

QFileDialog* MakeFileDialog(QWidget* parent, const char* name, const char* title, QFileDialog::AcceptMode mode)
{
    auto* dialog = mode == QFileDialog::AcceptOpen ? new OpenFileDialog(parent, QString::fromLatin1(title))
                                                   : new QFileDialog(parent, QString::fromLatin1(title));
    dialog->setObjectName(QString::fromLatin1(name));
    // Qt's own dialog, the same on every desktop: a desktop's native dialog
    // would apply "*.*" literally. No dialog changes the current directory.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog->setNameFilters({kMusFilter, kTextFilter, kAllFilesFilter});
    WidenAllFilesEntry(dialog);
    mus::CloseCompletionWithDialog(dialog);
    if (mode == QFileDialog::AcceptSave) {
        QObject::connect(dialog, &QFileDialog::filterSelected, dialog,
                         [dialog](const QString& filter) { dialog->setDefaultSuffix(SuffixFor(filter)); });
    }
    return dialog;
}

// Shows the dialog with an empty file name; the chosen file, or an empty
// string when the user cancelled.
QString RunFileDialog(QFileDialog* dialog)
{
    // selectFile() ignores an empty name, so the name field is emptied itself.
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->clear();
    dialog->setDefaultSuffix(SuffixFor(dialog->selectedNameFilter()));
    if (dialog->exec() != QDialog::Accepted) return {};
    return dialog->selectedFiles().value(0);
}

} // namespace

void frm_CText::btn_NewClick()
{
    if (Document().TextLength() > 0 && !Confirm(User(), "Clear text for new document?")) return;
    Document().SetText({});
    UpdateStatus();
}

void frm_CText::btn_OpenClick()
{
    if (OpenDialog1 == nullptr) {
        OpenDialog1 = MakeFileDialog(this, "OpenDialog1", "Open File", QFileDialog::AcceptOpen);
        SelectFilter(OpenDialog1, kMusFilter);
    }
    // The dialog is kept, so it shows the file type last chosen in it.
    const QString path = RunFileDialog(OpenDialog1);
    if (path.isEmpty()) return;
    OpenPathAsking(path);
}

void frm_CText::OpenPathAsking(const QString& path)
{
    if (Document().TextLength() > 0 &&
        !Confirm(User(), "Replace existing text with the contents of the selected file?"))
        return;
    OpenPath(path);
}

void frm_CText::OpenPath(const QString& path)
{
    std::int64_t zeroBytePosition = 0;
    {
        // Reading and building a large document takes a while: the busy
        // cursor shows it, and goes before any box.
        mus::BusyCursor busy(User());
        mus::DocumentFile file = mus::ReadDocumentFile(path);
        Document().SetTextFromPieces(file.pieces, file.textLength);
        zeroBytePosition = file.zeroBytePosition;
    }
    NoteFileUsed(path);
    if (zeroBytePosition > 0) {
        // Loading stops at a zero byte; saving the rest unaware would lose it.
        User().Alert(AlertSound::Exclamation, BoxKind::Warning, mus::ZeroByteWarning(zeroBytePosition).toStdString(),
                     mus::ButtonSet(Button::Ok));
    }
}

void frm_CText::btn_SaveClick()
{
    if (Document().TextLength() == 0) {
        User().Alert(AlertSound::Stop, BoxKind::Error, "There is no text that can be saved.",
                     mus::ButtonSet(Button::Ok));
        return;
    }
    if (SaveDialog1 == nullptr) SaveDialog1 = MakeFileDialog(this, "SaveDialog1", "Save File", QFileDialog::AcceptSave);
    SelectFilter(SaveDialog1, mus::IsEncryptedText(Document()) ? kMusFilter : kTextFilter);
    const QString path = RunFileDialog(SaveDialog1);
    if (path.isEmpty()) return;
    // Text over a block, asked after the dialog's own question whether to
    // replace the file: the block could not be had again.
    if (!Document().HoldsBlock() && mus::FileHoldsBlock(path) &&
        User().Alert(AlertSound::Question, BoxKind::Confirm, mus::ReplaceBlockQuestion(path),
                     Button::Yes | Button::No | mus::kNoIsDefault) != Answer::Yes)
        return;
    std::string text = Document().Text();
    const mus::ScopedWipe wipe(text);
    mus::WriteDocumentFile(path, text);
    NoteFileUsed(path);
}

void frm_CText::Exit1Click()
{
    close();
}

// The reader page this build ships, saved where the user chooses, to give to
// the people they write to.
void frm_CText::SaveReaderPageAs1Click()
{
    const QByteArray page = mus::ReaderPage();
    if (page.isEmpty()) {
        User().Alert(AlertSound::Stop, BoxKind::Error, "The reader page is not part of this build.",
                     mus::ButtonSet(Button::Ok));
        return;
    }
    if (SaveReaderPageDialog1 == nullptr) {
        auto* dialog = new QFileDialog(this, QStringLiteral("Save Reader Page"));
        dialog->setObjectName(QStringLiteral("SaveReaderPageDialog1"));
        // Qt's own dialog, as the window's other file dialogs.
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setNameFilters({QStringLiteral("Web page (*.html)")});
        dialog->setDefaultSuffix(QStringLiteral("html"));
        SaveReaderPageDialog1 = dialog;
    }
    SaveReaderPageDialog1->selectFile(QString::fromLatin1(mus::kReaderPageName));
    if (SaveReaderPageDialog1->exec() != QDialog::Accepted) return;
    const QString path = SaveReaderPageDialog1->selectedFiles().value(0);
    if (path.isEmpty()) return;
    mus::WriteDocumentFile(path, std::string_view(page.constData(), static_cast<std::size_t>(page.size())));
}
