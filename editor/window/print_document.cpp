#include "editor/window/print_document.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <string>

#include "cipher/armoured_block.h"
#include "common/failure.h"

namespace mus {

namespace {

// The header's size next to the text's.
constexpr qreal kHeaderScale = 0.8;
// Point sizes are tried down in these steps until the columns fit.
constexpr qreal kSizeStep = 0.25;
constexpr qreal kSmallestPoints = 4;

bool IsFixedPitch(const QFont& font)
{
    // QFontInfo::fixedPitch() trusts what the face says of itself; the
    // widths drawn are what matters here.
    const QFontMetricsF metrics(font);
    return metrics.horizontalAdvance(QLatin1Char('i')) == metrics.horizontalAdvance(QLatin1Char('W')) &&
           metrics.horizontalAdvance(QLatin1Char('.')) == metrics.horizontalAdvance(QLatin1Char('W'));
}

bool ColumnsFit(const QFont& font, QPaintDevice& device, qreal width)
{
    return QFontMetricsF(font, &device).horizontalAdvance(QString(kPrintColumns, QLatin1Char('W'))) <= width;
}

QString FullPath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// The header across the top of page `page` of `pages`: the name at the
// left, the date in the middle, the page number at the right, a rule below.
void PaintHeader(QPainter& painter, const PrintJob& job, qreal width, int page, int pages)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal base = metrics.ascent();
    const QString number = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
    const qreal numberWidth = metrics.horizontalAdvance(number);
    const qreal dateWidth = metrics.horizontalAdvance(job.date);
    const qreal gap = metrics.horizontalAdvance(QStringLiteral("    "));
    const QString title = metrics.elidedText(job.title, Qt::ElideMiddle, (width - dateWidth) / 2 - gap);
    painter.drawText(QPointF(0, base), title);
    painter.drawText(QPointF((width - dateWidth) / 2, base), job.date);
    painter.drawText(QPointF(width - numberWidth, base), number);
    const qreal rule = metrics.height() + metrics.descent();
    painter.drawLine(QPointF(0, rule), QPointF(width, rule));
}

} // namespace

QFont PrintFont(const QFont& editorFont, QPaintDevice& device, qreal width)
{
    QFont font = editorFont;
    if (!IsFixedPitch(editorFont)) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(kFallbackPrintPoints);
    }
    font.setUnderline(false);
    font.setStrikeOut(false);
    // Widths do not grow quite in step with the size (hinting), so the size
    // found by proportion is checked and lowered until the columns fit.
    const qreal wanted = font.pointSizeF() > 0 ? font.pointSizeF() : kFallbackPrintPoints;
    const qreal columns = QFontMetricsF(font, &device).horizontalAdvance(QString(kPrintColumns, QLatin1Char('W')));
    qreal points = columns > width ? std::floor(wanted * width / columns / kSizeStep) * kSizeStep : wanted;
    font.setPointSizeF(points);
    while (points > kSmallestPoints && !ColumnsFit(font, device, width)) {
        points -= kSizeStep;
        font.setPointSizeF(points);
    }
    return font;
}

QList<bool> BlockLineMarks(const QStringList& lines)
{
    const QString start = QString::fromLatin1(kStartLine.data(), qsizetype(kStartLine.size()));
    const QString end = QString::fromLatin1(kEndLine.data(), qsizetype(kEndLine.size()));
    const QString tag = QString::fromLatin1(kBlockTag.data(), qsizetype(kBlockTag.size()));
    QList<bool> marks(lines.size(), false);
    qsizetype open = -1; // the START line of the block in hand, if any
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line == start) open = i;
        if (line == end && open >= 0) {
            std::fill(marks.begin() + open, marks.begin() + i, true);
            open = -1;
        }
        if (line == start || line == end || lines[i].startsWith(tag)) marks[i] = true;
    }
    return marks;
}

QString ExpandTabs(const QString& line)
{
    if (!line.contains(QLatin1Char('\t'))) return line;
    QString out;
    for (const QChar c : line) {
        if (c != QLatin1Char('\t')) {
            out += c;
            continue;
        }
        out += QString(kPrintTabWidth - out.size() % kPrintTabWidth, QLatin1Char(' '));
    }
    return out;
}

QStringList WrapLine(const QString& line, const QFontMetricsF& metrics, qreal width)
{
    if (metrics.horizontalAdvance(line) <= width) return {line};
    QStringList pieces;
    // Whole characters only: a base and its marks, a surrogate pair.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, line);
    qsizetype start = 0;
    while (start < line.size()) {
        graphemes.setPosition(start);
        qsizetype end = start;
        qsizetype afterBlank = -1;
        qreal used = 0;
        while (end < line.size()) {
            const qsizetype next = graphemes.toNextBoundary();
            used += metrics.horizontalAdvance(line.mid(end, next - end));
            if (used > width && end > start) break;
            if (line[end] == QLatin1Char(' ')) afterBlank = next;
            end = next;
        }
        if (end < line.size() && afterBlank > start) end = afterBlank;
        pieces << line.mid(start, end - start);
        start = end;
    }
    return pieces;
}

QPageLayout DefaultPageLayout()
{
    const QPageSize size(QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                    : QPageSize::A4);
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(20, 15, 20, 15), QPageLayout::Millimeter);
}

int PrintPages(QPagedPaintDevice& device, const PrintJob& job)
{
    QPainter painter;
    if (!painter.begin(&device)) throw Failure("Cannot print the document");
    // The painter's origin is the printable area's corner.
    const qreal width = device.width();
    const qreal height = device.height();
    const QFont font = PrintFont(job.editorFont, device, width);
    QFont headerFont = font;
    headerFont.setPointSizeF(std::max(kSmallestPoints, font.pointSizeF() * kHeaderScale));
    const QFontMetricsF metrics(font, &device);
    const QFontMetricsF headerMetrics(headerFont, &device);
    const qreal top = headerMetrics.height() * 2 + metrics.lineSpacing();
    const qreal lineSpacing = metrics.lineSpacing();
    const auto perPage = std::max<qsizetype>(1, qsizetype((height - top) / lineSpacing));

    QStringList printed;
    const QList<bool> marks = BlockLineMarks(job.lines);
    for (qsizetype i = 0; i < job.lines.size(); ++i) {
        const QString line = ExpandTabs(job.lines[i]);
        if (marks[i]) {
            printed << line;
        } else {
            printed << WrapLine(line, metrics, width);
        }
    }
    const int pages = int(std::max<qsizetype>(1, (printed.size() + perPage - 1) / perPage));
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage()) throw Failure("Cannot print the document");
        painter.setFont(headerFont);
        PaintHeader(painter, job, width, page + 1, pages);
        painter.setFont(font);
        const qsizetype first = page * perPage;
        const qsizetype last = std::min(printed.size(), first + perPage);
        for (qsizetype i = first; i < last; ++i)
            painter.drawText(QPointF(0, top + (i - first) * lineSpacing + metrics.ascent()), printed[i]);
    }
    if (!painter.end()) throw Failure("Cannot print the document");
    return pages;
}

void ExportPdf(const QString& path, const PrintJob& job)
{
    // QSaveFile writes next to the file and takes its place only once every
    // byte is written: a failed export leaves the old file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) throw Failure("Cannot create file " + FullPath(path).toStdString());
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(DefaultPageLayout());
        writer.setTitle(job.title);
        writer.setCreator(QStringLiteral("Murmurscript"));
        PrintPages(writer, job);
    }
    if (!file.flush() || !file.commit()) throw Failure("Stream write error");
}

} // namespace mus
