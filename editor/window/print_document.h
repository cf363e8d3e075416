#pragma once
// The document on paper: Print and Export as PDF lay its lines out in a
// fixed-pitch face, page by page, under a small header with the file's name,
// the date and "Page n of m". A line of an armoured block is never broken;
// any other line too long for the page wraps, at its last blank that fits.

#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

class QFontMetricsF;
class QPageLayout;
class QPagedPaintDevice;
class QPaintDevice;

namespace mus {

// Characters that must fit the printable width: a block's longest line.
inline constexpr int kPrintColumns = 65;
// The size of the desktop's fixed-pitch face, used when the editor's is not.
inline constexpr qreal kFallbackPrintPoints = 10;
// The header's name when no file was opened or saved in this run.
inline constexpr char kUntitled[] = "Untitled";
// Tab stops, in characters.
inline constexpr int kPrintTabWidth = 8;

struct PrintJob {
    QStringList lines; // the document's lines, without line breaks
    QString title;     // the header's file name
    QString date;      // the header's date, as shown
    QFont editorFont;  // the editor's font, its size in points
};

// The face the text is printed in on `device`, whose printable width is
// `width` device pixels: the editor's when it is fixed-pitch, at its size,
// else the desktop's fixed-pitch face at 10 points; never larger than the
// size at which kPrintColumns characters fit the width.
QFont PrintFont(const QFont& editorFont, QPaintDevice& device, qreal width);

// For each line, whether it belongs to an armoured block: a line that begins
// with the block tag, a START or END line, and every line between a START
// line and the END line after it.
QList<bool> BlockLineMarks(const QStringList& lines);

// `line` with each tab made the blanks up to the next tab stop.
QString ExpandTabs(const QString& line);

// `line` cut into pieces no wider than `width` as `metrics` measures them:
// after the last blank that fits, or where the width ends when there is
// none. An empty line is one empty piece.
QStringList WrapLine(const QString& line, const QFontMetricsF& metrics, qreal width);

// The page size of the user's region (Letter where the US system of
// measures is used, A4 elsewhere) with margins of 20 mm at the sides and
// 15 mm above and below.
QPageLayout DefaultPageLayout();

// Paints the job's pages on `device`; the number of pages. Failure "Cannot
// print the document" when the device cannot be painted on.
int PrintPages(QPagedPaintDevice& device, const PrintJob& job);

// Writes the job's pages as a PDF file at `path` on the default page layout,
// replacing it in one step. Failures: "Cannot create file <full path>",
// "Stream write error".
void ExportPdf(const QString& path, const PrintJob& job);

} // namespace mus
