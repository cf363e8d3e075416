// Print and Export as PDF.
#include <QDate>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBlock>

#include "cipher/commands/command_ui.h"
#include "editor/document/byte_document.h"
#include "editor/window/file_dialogs.h"
#include "editor/window/main_window.h"
#include "editor/window/print_document.h"

namespace {

const char kNothingToPrint[] = "There is no text that can be printed.";

bool RefuseEmpty(mus::ByteDocument& document, mus::CommandUser& user)
{
    if (document.TextLength() > 0) return false;
    user.Alert(mus::AlertSound::Stop, mus::BoxKind::Error, kNothingToPrint, mus::ButtonSet(mus::Button::Ok));
    return true;
}

} // namespace

mus::PrintJob frm_CText::MakePrintJob() const
{
    mus::PrintJob job;
    const QTextDocument* text = txt_CText->document();
    for (QTextBlock block = text->begin(); block.isValid(); block = block.next()) job.lines << block.text();
    // The empty line after a final line break is no line of the text.
    if (job.lines.size() > 1 && job.lines.back().isEmpty()) job.lines.removeLast();
    job.title = lastFile_.isEmpty() ? QString::fromLatin1(mus::kUntitled) : QFileInfo(lastFile_).fileName();
    job.date = QLocale().toString(QDate::currentDate(), QLocale::LongFormat);
    job.editorFont = txt_CText->font();
    // The design size is set in pixels: the same size in points, at the
    // editor's resolution (13 pixels are 10 points at 96 dots per inch).
    if (job.editorFont.pointSizeF() <= 0)
        job.editorFont.setPointSizeF(job.editorFont.pixelSize() * 72.0 / txt_CText->logicalDpiY());
    return job;
}

void frm_CText::Print1Click()
{
    if (RefuseEmpty(Document(), User())) return;
    if (Printer1 == nullptr) {
        Printer1 = std::make_unique<QPrinter>(QPrinter::HighResolution);
        Printer1->setPageLayout(mus::DefaultPageLayout());
    }
    const mus::PrintJob job = MakePrintJob();
    // Also the name the dialog offers when printing to a file.
    Printer1->setDocName(job.title);
    QPrintDialog dialog(Printer1.get(), this);
    dialog.setObjectName(QStringLiteral("PrintDialog1"));
    dialog.setWindowTitle(QStringLiteral("Print"));
    // Every page is printed: there is no selection or current page to offer.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted) return;
    mus::BusyCursor busy(User());
    mus::PrintPages(*Printer1, job);
}

void frm_CText::ExportAsPdf1Click()
{
    if (RefuseEmpty(Document(), User())) return;
    if (ExportDialog1 == nullptr) {
        // Qt's own dialog, as for Save; it asks before replacing a file.
        ExportDialog1 = new QFileDialog(this, QStringLiteral("Export as PDF"));
        ExportDialog1->setObjectName(QStringLiteral("ExportDialog1"));
        ExportDialog1->setOption(QFileDialog::DontUseNativeDialog);
        ExportDialog1->setAcceptMode(QFileDialog::AcceptSave);
        ExportDialog1->setFileMode(QFileDialog::AnyFile);
        ExportDialog1->setNameFilters({QStringLiteral("PDF document (*.pdf)")});
        ExportDialog1->setDefaultSuffix(QStringLiteral("pdf"));
        mus::CloseCompletionWithDialog(ExportDialog1);
    }
    // The name offered is the document's, when it has one.
    auto* name = ExportDialog1->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (name != nullptr)
        name->setText(lastFile_.isEmpty() ? QString() : QFileInfo(lastFile_).completeBaseName() + ".pdf");
    if (ExportDialog1->exec() != QDialog::Accepted) return;
    const QString path = ExportDialog1->selectedFiles().value(0);
    if (path.isEmpty()) return;
    mus::BusyCursor busy(User());
    mus::ExportPdf(path, MakePrintJob());
}
