#pragma once
// The editor's document seen as bytes: the whole text as UTF-8 (through the
// lossless mapping of byte_codec.h) with CR LF between lines, its length, its
// logical lines, the selection's length, and replacing the whole text.
//
// The byte length and the number of lines that begin with the block tag are
// kept per line and updated from the document's change notifications, so the
// status routine, which runs on every mouse move, never copies the text.

#include <QMetaObject>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cipher/document_lines.h"

class QPlainTextEdit;
class QTextBlock;

namespace mus {

// The most the editor holds, in bytes.
inline constexpr std::int64_t kEditorCapacity = kDocumentCapacity;

// The longest line the editor takes from a file. It lays out a line as a
// whole, at opening and again at every key typed into it: a longer line
// would keep it busy for seconds each time.
inline constexpr std::int64_t kLongestLine = std::int64_t{1} << 20; // 1 MiB

// Failure "Text exceeds memo capacity" when `bytes` would not fit the editor.
void CheckEditorCapacity(std::int64_t bytes);
// The same failure for a line of `bytes` longer than kLongestLine.
void CheckLineLength(std::int64_t bytes);

class ByteDocument final : public DocumentLines {
public:
    explicit ByteDocument(QPlainTextEdit& editor);
    ~ByteDocument() override;
    ByteDocument(const ByteDocument&) = delete;
    ByteDocument& operator=(const ByteDocument&) = delete;

    // Bytes of the whole text, each line break counting two (CR LF).
    std::int64_t TextLength() const override;
    // Logical lines; an empty last line after a final line break is not counted.
    std::int32_t LineCount() const override;
    // Line `index` without its break, at most kMaxLineLength bytes of it;
    // empty past the last line. Valid until the next call.
    std::string_view Line(std::int32_t index) const override;

    // The whole text with CR LF line breaks.
    std::string Text() const;

    // Makes `bytes` the whole text (CR LF, lone CR and lone LF all end a
    // line). Nothing happens when the text already is exactly `bytes`.
    // Failure "Text exceeds memo capacity" when `bytes` is larger than the
    // editor holds; the editor then keeps its text.
    void SetText(std::string_view bytes);

    // Makes the text up to the first zero byte of `buffer` (or all of it) the
    // whole text, always replacing it. Same capacity rule as SetText.
    void SetTextFromBuffer(std::string_view buffer);

    // Makes the bytes of `pieces`, taken in order, the whole text, as SetText
    // does; each piece holds whole lines (the last may end without a break)
    // and is freed as soon as its text is in the editor, so no second copy
    // of a large file's text is ever held. `textLength` is its length as
    // TextLength() counts it.
    void SetTextFromPieces(std::vector<std::string>& pieces, std::int64_t textLength);

    // `hook` runs after every replacement of the whole text by the three
    // calls above, once the new text is in; not when the text was already
    // there, nor after a replacement that failed.
    void SetWholeTextReplacedHook(std::function<void()> hook) { wholeTextReplaced_ = std::move(hook); }

    // Bytes of the selection, line breaks counting two; 0 without one.
    std::int64_t SelectionLength() const;
    // Where the selection begins and ends, as offsets into Text(); the same
    // twice without a selection.
    std::pair<std::int64_t, std::int64_t> SelectionBytes() const;

    // Puts `bytes` (any line breaks) in the place of bytes [begin, end) of
    // Text() in one edit, which one Undo takes back; every other line stays.
    // An offset inside a character or a line break counts as the start of
    // it. The caret goes to the start of what was put in. Same capacity rule
    // as SetText.
    void ReplaceBytes(std::int64_t begin, std::int64_t end, std::string_view bytes);
    bool CanUndo() const;

    // Lines beginning with the block tag, and whether there are two or more
    // (the document holds an armoured block).
    std::int32_t TaggedLineCount() const;
    bool HoldsBlock() const { return TaggedLineCount() >= 2; }

private:
    struct LineInfo {
        std::int32_t bytes = 0; // without the line break
        bool tagged = false;
    };

    static LineInfo Measure(const QTextBlock& block);
    // The editor position of byte `offset` of Text(), and back.
    int PositionOfByte(std::int64_t offset) const;
    std::int64_t ByteOfPosition(int position) const;
    void Rebuild();
    void OnContentsChange(int position, int removed, int added);
    void ReplaceWith(std::string_view bytes);
    // True when the text is exactly what `pieces` hold.
    bool HoldsPieces(const std::vector<std::string>& pieces, std::int64_t textLength) const;
    // Replaces the whole text with what `nextPiece` gives, piece by piece,
    // until it returns false.
    void Replace(const std::function<bool(QString& text)>& nextPiece);

    QPlainTextEdit& editor_;
    QMetaObject::Connection connection_;
    std::vector<LineInfo> lines_; // one per text block
    std::int64_t bytes_ = 0;      // sum of lines_[i].bytes
    std::int32_t tagged_ = 0;     // lines_ with tagged set
    std::uint64_t revision_ = 0;  // goes up with every change of the text

    // The last selection measured, valid while the revision is the same.
    mutable std::uint64_t selRevision_ = ~std::uint64_t{0};
    mutable int selStart_ = 0;
    mutable int selEnd_ = 0;
    mutable std::int64_t selBytes_ = 0;

    mutable std::string line_; // the text Line() last returned

    std::function<void()> wholeTextReplaced_;
};

} // namespace mus
