// The document as bytes over a real QPlainTextEdit: lossless text, lines,
// capacity, and the cached length and tag count against full scans.
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <sys/mman.h>

#include <string>

#include "cipher/armoured_block.h"
#include "cipher/document_lines.h"
#include "cipher/errors.h"
#include "editor/document/byte_codec.h"
#include "editor/document/byte_document.h"

using namespace std::string_literals;

Q_DECLARE_METATYPE(std::string)

namespace {

// The selection's bytes counted from its text: every paragraph break is a
// CR LF pair.
std::int64_t SelectedBytes(const QPlainTextEdit& editor)
{
    const QStringList parts = editor.textCursor().selectedText().split(QChar::ParagraphSeparator);
    std::int64_t n = 2 * (parts.size() - 1);
    for (const QString& p : parts) n += mus::ByteLength(p);
    return n;
}

// The editor's lines that begin with the block tag, counted from scratch.
std::int32_t TaggedBlocks(const QPlainTextEdit& editor)
{
    const QLatin1String tag(mus::kBlockTag.data(), static_cast<qsizetype>(mus::kBlockTag.size()));
    std::int32_t count = 0;
    for (QTextBlock b = editor.document()->begin(); b.isValid(); b = b.next()) {
        if (b.text().startsWith(tag)) ++count;
    }
    return count;
}

} // namespace

class ByteDocumentTest : public QObject {
    Q_OBJECT

private:
    void CheckAgainstScan(const QPlainTextEdit& editor, const mus::ByteDocument& doc)
    {
        const std::string text = doc.Text();
        const mus::TextLines lines(text);
        QCOMPARE(doc.TextLength(), static_cast<std::int64_t>(text.size()));
        QCOMPARE(doc.TaggedLineCount(), TaggedBlocks(editor));
        QCOMPARE(doc.HoldsBlock(), mus::IsEncryptedText(lines));
        QCOMPARE(doc.LineCount(), lines.LineCount());
        QCOMPARE(doc.SelectionLength(), SelectedBytes(editor));
    }

private slots:
    void everyByteSurvivesTheEditor()
    {
        QPlainTextEdit editor;
        mus::ByteDocument doc(editor);
        std::string bytes;
        for (int b = 0; b < 256; ++b) {
            if (b == '\r' || b == '\n') continue;
            bytes += static_cast<char>(b);
            if (b % 32 == 31) bytes += "\r\n";
        }
        // The characters Qt's text document would change or drop, the escape
        // range, and the no-break space that toPlainText() turns into a blank.
        bytes += "\r\n\xE2\x80\xA9|\xEF\xB7\x90|\xEF\xB7\x91|\xEF\x9E\x80|\xEF\x9F\xBF|\xE2\x80\xA8|\xC2\xA0|"
                 "\xED\xA0\x80\r\n";
        bytes += "\r\n"; // an empty line, then a final break
        doc.SetText(bytes);
        QCOMPARE(doc.Text(), bytes);
        QCOMPARE(doc.TextLength(), static_cast<std::int64_t>(bytes.size()));
        CheckAgainstScan(editor, doc);
    }

    void lineBreaksBecomeCrLf()
    {
        QPlainTextEdit editor;
        mus::ByteDocument doc(editor);
        doc.SetText("a\rb\nc\r\nd\n\re"s);
        QCOMPARE(doc.Text(), "a\r\nb\r\nc\r\nd\r\n\r\ne"s);
        QCOMPARE(doc.TextLength(), 15);
    }

    void sameTextChangesNothing()
    {
        QPlainTextEdit editor;
        mus::ByteDocument doc(editor);
        doc.SetText("one\r\ntwo"s);
        editor.moveCursor(QTextCursor::End);
        editor.insertPlainText(QStringLiteral("!"));
        QVERIFY(doc.CanUndo());
        QSignalSpy changes(&editor, &QPlainTextEdit::textChanged);
        doc.SetText("one\r\ntwo!"s);
        QCOMPARE(changes.count(), 0);
        QVERIFY(doc.CanUndo());
        doc.SetText("one\r\ntwo?"s);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(doc.Text(), "one\r\ntwo?"s);
    }

    void bufferEndsAtZeroAndAlwaysReplaces()
    {
        QPlainTextEdit editor;
        mus::ByteDocument doc(editor);
        doc.SetText("abc"s);
        QSignalSpy changes(&editor, &QPlainTextEdit::textChanged);
        const std::string buffer = "abc\0def"s;
        doc.SetTextFromBuffer(buffer);
        QCOMPARE(doc.Text(), "abc"s);
        QCOMPARE(changes.count(), 1);
    }

    void capacity()
    {
        QVERIFY_THROWS_NO_EXCEPTION(mus::CheckEditorCapacity(mus::kEditorCapacity));
        try {
            mus::CheckEditorCapacity(mus::kEditorCapacity + 1);
            QFAIL("no failure");
        } catch (const mus::Failure& f) {
            QCOMPARE(std::string(f.what()), "Text exceeds memo capacity"s);
        }

        // One byte too many, in untouched (never materialised) pages: the
        // editor refuses it before reading it and keeps its text.
        const std::size_t size = static_cast<std::size_t>(mus::kEditorCapacity) + 1;
        void* block = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        QVERIFY(block != MAP_FAILED);
        QPlainTextEdit editor;
        mus::ByteDocument doc(editor);
        doc.SetText("kept"s);
        QVERIFY_THROWS_EXCEPTION(mus::Failure, doc.SetText(std::string_view(static_cast<const char*>(block), size)));
        QCOMPARE(doc.Text(), "kept"s);
        munmap(block, size);
    }

    void lines_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << ""s << QStringList{};
        QTest::newRow("one line") << "abc"s << QStringList{"abc"};
        QTest::newRow("final break not a line") << "abc\r\n"s << QStringList{"abc"};
        QTest::newRow("empty line before end") << "abc\r\n\r\n"s << QStringList{"abc", ""};
        QTest::newRow("empty line inside") << "a\r\n\r\nb"s << QStringList{"a", "", "b"};
        QTest::newRow("only a break") << "\r\n"s << QStringList{""};
    }

    void lines()
    {
        QFETCH(std::string, text);
        QFETCH(QStringList, lines);
        QPlainTextEdit editor;
        mus::ByteDocument doc(editor);
        doc.SetText(text);
        QCOMPARE(doc.LineCount(), lines.size());
        for (int i = 0; i < lines.size(); ++i) QCOMPARE(QString::fromStdString(std::string(doc.Line(i))), lines[i]);
        QVERIFY(doc.Line(static_cast<std::int32_t>(lines.size())).empty());
        QVERIFY(doc.Line(-1).empty());
    }

    void lineIsCutAt4096Bytes()
    {
        QPlainTextEdit editor;
        mus::ByteDocument doc(editor);
        const std::string longLine = std::string(4095, 'x') + "\xC3\xA9" + std::string(100, 'y');
        doc.SetText(longLine + "\r\nnext"s);
        QCOMPARE(doc.Line(0).size(), std::size_t{4096});
        QCOMPARE(doc.Line(0), std::string_view(longLine).substr(0, 4096));
        QCOMPARE(doc.Line(1), std::string_view("next"));
        // Word wrap changes what is shown, not the lines.
        editor.setLineWrapMode(QPlainTextEdit::WidgetWidth);
        QCOMPARE(doc.LineCount(), 2);
    }

    void selectionLength()
    {
        QPlainTextEdit editor;
        mus::ByteDocument doc(editor);
        doc.SetText("ab\r\n\xC3\xA9\xFF\r\ncd"s); // a b | é \xFF | c d
        QTextCursor cursor = editor.textCursor();
        QCOMPARE(doc.SelectionLength(), 0);
        cursor.setPosition(1);
        cursor.setPosition(7, QTextCursor::KeepAnchor); // b, break, é, \xFF, break, c
        editor.setTextCursor(cursor);
        QCOMPARE(doc.SelectionLength(), 1 + 2 + 2 + 1 + 2 + 1);
        cursor.setPosition(3);
        cursor.setPosition(4, QTextCursor::KeepAnchor); // é alone
        editor.setTextCursor(cursor);
        QCOMPARE(doc.SelectionLength(), 2);
        editor.selectAll();
        QCOMPARE(doc.SelectionLength(), doc.TextLength());
    }

    // Offsets inside a character or a line break count as its start; the
    // edit is one Undo step; the selection maps back to the same bytes.
    void replaceBytes_data()
    {
        QTest::addColumn<int>("begin");
        QTest::addColumn<int>("end");
        QTest::addColumn<std::string>("bytes");
        QTest::addColumn<std::string>("expected");
        // a b CR LF é(2) \xFF CR LF c d: offsets 0 1 2 3 4-5 6 7 8 9 10
        QTest::newRow("inside a line") << 1 << 2 << "X"s
                                       << "aX\r\n\xC3\xA9\xFF\r\ncd"s;
        QTest::newRow("a line break") << 2 << 4 << ""s
                                      << "ab\xC3\xA9\xFF\r\ncd"s;
        QTest::newRow("inside a character") << 5 << 6 << "Z"s
                                            << "ab\r\nZ\xFF\r\ncd"s;
        QTest::newRow("inside a line break") << 8 << 9 << "-"s
                                             << "ab\r\n\xC3\xA9\xFF-cd"s;
        QTest::newRow("at the end, lone LF") << 11 << 11 << "\nEnd"s
                                             << "ab\r\n\xC3\xA9\xFF\r\ncd\r\nEnd"s;
    }

    void replaceBytes()
    {
        QFETCH(int, begin);
        QFETCH(int, end);
        QFETCH(std::string, bytes);
        QFETCH(std::string, expected);
        QPlainTextEdit editor;
        mus::ByteDocument doc(editor);
        const std::string text = "ab\r\n\xC3\xA9\xFF\r\ncd";
        doc.SetText(text);
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(3);
        cursor.setPosition(5, QTextCursor::KeepAnchor); // é and \xFF
        editor.setTextCursor(cursor);
        QCOMPARE(doc.SelectionBytes(), (std::pair<std::int64_t, std::int64_t>{4, 7}));

        doc.ReplaceBytes(begin, end, bytes);
        QCOMPARE(doc.Text(), expected);
        CheckAgainstScan(editor, doc);
        editor.undo();
        QCOMPARE(doc.Text(), text);
    }

    // Random edits of every kind; after each, the cached figures must equal
    // a count from scratch.
    void cachesFollowEveryEdit()
    {
        QPlainTextEdit editor;
        editor.resize(300, 200);
        mus::ByteDocument doc(editor);
        QRandomGenerator random(7);
        const QStringList pieces = {
            QStringLiteral("MuS/"), QStringLiteral("\n"),           QStringLiteral("\nMuS/1"),
            QStringLiteral("x"),    QStringLiteral("\u00E9\u20AC"), QString(QChar(0xF7FF)),
            QStringLiteral("mus/"), QStringLiteral(" MuS/"),        QStringLiteral("\n\n"),
            QStringLiteral("Mu"),   QStringLiteral("S/"),           QString::fromUcs4(U"\U0001F600")};
        for (int step = 0; step < 3000; ++step) {
            QTextCursor cursor(editor.document());
            const int length = editor.document()->characterCount() - 1;
            const int action = random.bounded(10);
            if (action < 5) {
                cursor.setPosition(random.bounded(length + 1));
                QString insert;
                for (int n = random.bounded(1, 4); n > 0; --n) insert += pieces[random.bounded(pieces.size())];
                cursor.insertText(insert);
            } else if (action < 8 && length > 0) {
                const int a = random.bounded(length + 1);
                const int b = qMin(length, a + random.bounded(12));
                cursor.setPosition(a);
                cursor.setPosition(b, QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
            } else if (action == 8) {
                editor.undo();
            } else {
                editor.redo();
            }
            const int end = editor.document()->characterCount() - 1;
            QTextCursor selection(editor.document());
            selection.setPosition(random.bounded(end + 1));
            selection.setPosition(random.bounded(end + 1), QTextCursor::KeepAnchor);
            editor.setTextCursor(selection);
            CheckAgainstScan(editor, doc);
            if (QTest::currentTestFailed()) {
                qWarning("after step %d", step);
                return;
            }
        }
        doc.SetText("MuS/a\r\nMuS/b"s);
        CheckAgainstScan(editor, doc);
        QVERIFY(doc.HoldsBlock());
        editor.clear();
        CheckAgainstScan(editor, doc);
        QCOMPARE(doc.TextLength(), 0);
    }
};

QTEST_MAIN(ByteDocumentTest)
#include "byte_document_test.moc"
