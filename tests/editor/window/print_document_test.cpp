// The document on paper: the face and size chosen, how lines wrap, which
// lines belong to a block, and a PDF read back as text.
#include <QApplication>
#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPdfWriter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "editor/window/print_document.h"
#include "tests/support/command_test_support.h"
#include "tests/support/pdf_text.h"

using mus::PrintJob;
using mus::test::PdfLines;

namespace {

const char kMono[] = "DejaVu Sans Mono";
const char kSans[] = "DejaVu Sans";

QFont Font(const char* face, qreal points)
{
    QFont font(QString::fromLatin1(face));
    font.setPointSizeF(points);
    return font;
}

} // namespace

class PrintDocumentTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void printFont_data()
    {
        QTest::addColumn<QString>("face");
        QTest::addColumn<qreal>("points");
        QTest::addColumn<int>("paperWidth"); // millimetres; margins of 20 each side
        QTest::addColumn<bool>("editorFace");
        QTest::addColumn<qreal>("printed"); // 0: the largest size at which 65 characters fit
        QTest::newRow("fixed pitch at its size") << kMono << 11.0 << 210 << true << 11.0;
        QTest::newRow("fixed pitch too large") << kMono << 24.0 << 210 << true << 0.0;
        QTest::newRow("proportional: desktop's at 10") << kSans << 14.0 << 210 << false << 10.0;
        QTest::newRow("proportional, narrow paper") << kSans << 14.0 << 105 << false << 0.0;
    }

    void printFont()
    {
        QFETCH(QString, face);
        QFETCH(qreal, points);
        QFETCH(int, paperWidth);
        QFETCH(bool, editorFace);
        QFETCH(qreal, printed);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter device(&buffer);
        device.setPageLayout(QPageLayout(QPageSize(QSizeF(paperWidth, 297), QPageSize::Millimeter),
                                         QPageLayout::Portrait, QMarginsF(20, 15, 20, 15), QPageLayout::Millimeter));
        const qreal width = device.width();
        const QFont font = mus::PrintFont(Font(face.toLatin1().constData(), points), device, width);
        const QString fixedFace = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        QCOMPARE(font.family(), editorFace ? face : fixedFace);
        const auto columnsWidth = [&](qreal size) {
            QFont f = font;
            f.setPointSizeF(size);
            return QFontMetricsF(f, &device).horizontalAdvance(QString(mus::kPrintColumns, 'W'));
        };
        QVERIFY(columnsWidth(font.pointSizeF()) <= width);
        if (printed > 0) {
            QCOMPARE(font.pointSizeF(), printed);
        } else {
            QVERIFY(font.pointSizeF() < (editorFace ? points : mus::kFallbackPrintPoints));
            QVERIFY(columnsWidth(font.pointSizeF() + 0.5) > width); // not needlessly small
        }
    }

    void wrapLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("fits") << "0123456789" << QStringList{"0123456789"};
        QTest::newRow("empty") << "" << QStringList{""};
        QTest::newRow("at the last blank") << "one two three four" << QStringList{"one two ", "three four"};
        QTest::newRow("no blank") << "abcdefghijklmnopqrstuvw" << QStringList{"abcdefghij", "klmnopqrst", "uvw"};
        QTest::newRow("whole characters") << QString::fromUtf8("abcdefghi\xf0\x9f\x94\x91x")
                                          << QStringList{QString::fromUtf8("abcdefghi\xf0\x9f\x94\x91"), "x"};
    }

    void wrapLine()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, pieces);
        const QFontMetricsF metrics(Font(kMono, 10));
        QCOMPARE(mus::WrapLine(line, metrics, metrics.horizontalAdvance(QString(10, 'x'))), pieces);
    }

    void blockLinesAndTabs()
    {
        const QString start = QString::fromLatin1(mus::kStartLine.data(), mus::kStartLine.size());
        const QString end = QString::fromLatin1(mus::kEndLine.data(), mus::kEndLine.size());
        const QStringList lines{"prose", start, "MuS/0130/02/0/5", "Cbody", "MuS/123", end, "after", start, "open"};
        QCOMPARE(mus::BlockLineMarks(lines), (QList<bool>{false, true, true, true, true, true, false, true, false}));
        QCOMPARE(mus::ExpandTabs("a\tbc\t\td"), QString("a       bc              d"));
    }

    // The Method 02 block's lines read back whole from the PDF, the prose
    // wrapped, and the header on every page.
    void pdfReadsBackAsText()
    {
        QVERIFY2(!QStandardPaths::findExecutable("pdftotext").isEmpty(), "pdftotext (poppler-utils) is needed");
        const std::string block = mus::fake::SealedDocument(std::string(3000, 'q'), "PHRASE");
        QStringList lines = QString::fromLatin1(block.c_str()).split("\r\n", Qt::SkipEmptyParts);
        const QStringList blockLines = lines;
        const QString prose = QString("word ").repeated(40).trimmed();
        lines.prepend(prose);
        for (int i = 0; i < 80; ++i) lines << QString("line %1").arg(i);
        const PrintJob job{lines, "notes & more.mus", "7 December 2026", Font(kMono, 10)};
        const QString pdf = dir_.path() + "/out.pdf";
        mus::ExportPdf(pdf, job);

        const QStringList text = PdfLines(pdf);
        for (const QString& line : blockLines) QVERIFY2(text.contains(line.simplified()), qPrintable(line));
        QVERIFY(!text.contains(prose));
        QCOMPARE(text.filter("word").join(' '), prose);
        const int pages = text.filter(QRegularExpression("Page \\d+ of \\d+$")).size();
        QVERIFY(pages >= 2);
        for (int page = 1; page <= pages; ++page)
            QVERIFY(text.contains(QString("notes & more.mus 7 December 2026 Page %1 of %2").arg(page).arg(pages)));
        QVERIFY(text.contains("line 79"));
    }

    void exportFailureKeepsTheOldFile()
    {
        const PrintJob job{{"text"}, "Untitled", "today", Font(kMono, 10)};
        try {
            mus::ExportPdf(dir_.path() + "/missing/out.pdf", job);
            QFAIL("the export did not fail");
        } catch (const mus::Failure& e) {
            QCOMPARE(QString(e.what()), "Cannot create file " + dir_.path() + "/missing/out.pdf");
        }
    }
};

QTEST_MAIN(PrintDocumentTest)

#include "print_document_test.moc"
