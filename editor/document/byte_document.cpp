#include "editor/document/byte_document.h"

#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

#include "cipher/armoured_block.h"
#include "cipher/errors.h"
#include "editor/document/byte_codec.h"

namespace mus {

namespace {

constexpr std::string_view kCapacityMessage = "Text exceeds memo capacity";

bool StartsWithTag(const QString& text)
{
    return text.startsWith(QLatin1String(kBlockTag.data(), static_cast<qsizetype>(kBlockTag.size())));
}

} // namespace

void CheckEditorCapacity(std::int64_t bytes)
{
    if (bytes > kEditorCapacity) throw Failure(std::string(kCapacityMessage));
}

void CheckLineLength(std::int64_t bytes)
{
    if (bytes > kLongestLine) throw Failure(std::string(kCapacityMessage));
}

ByteDocument::ByteDocument(QPlainTextEdit& editor) : editor_(editor)
{
    Rebuild();
    connection_ = QObject::connect(
        editor_.document(), &QTextDocument::contentsChange, &editor_,
        [this](int position, int removed, int added) { OnContentsChange(position, removed, added); });
}

ByteDocument::~ByteDocument()
{
    QObject::disconnect(connection_);
}

ByteDocument::LineInfo ByteDocument::Measure(const QTextBlock& block)
{
    const QString text = block.text();
    return {static_cast<std::int32_t>(ByteLength(text)), StartsWithTag(text)};
}

void ByteDocument::Rebuild()
{
    const QTextDocument* doc = editor_.document();
    lines_.clear();
    lines_.reserve(static_cast<std::size_t>(doc->blockCount()));
    bytes_ = 0;
    tagged_ = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const LineInfo info = Measure(b);
        lines_.push_back(info);
        bytes_ += info.bytes;
        tagged_ += info.tagged ? 1 : 0;
    }
}

// The blocks before `position` are untouched by the change and keep their
// numbers; the blocks after the change's end are the old ones, shifted by
// the change in the block count. So the old blocks first..oldLast became the
// new blocks first..last, and only those are measured again. Widening the
// range by a block on each side costs little and covers any imprecision in
// the reported range.
void ByteDocument::OnContentsChange(int position, int /*removed*/, int added)
{
    ++revision_;
    const QTextDocument* doc = editor_.document();
    QTextBlock first = doc->findBlock(position);
    QTextBlock last = doc->findBlock(position + added);
    if (!first.isValid() || lines_.empty()) {
        Rebuild();
        return;
    }
    if (!last.isValid()) last = doc->lastBlock();
    if (first.previous().isValid()) first = first.previous();
    if (last.next().isValid()) last = last.next();

    const int newCount = doc->blockCount();
    const int oldCount = static_cast<int>(lines_.size());
    const int firstNo = first.blockNumber();
    const int lastNo = last.blockNumber();
    const int oldLastNo = lastNo - (newCount - oldCount);
    if (lastNo < firstNo || oldLastNo < firstNo || oldLastNo >= oldCount) {
        Rebuild();
        return;
    }

    const auto from = lines_.begin() + firstNo;
    const auto oldEnd = lines_.begin() + oldLastNo + 1;
    for (auto it = from; it != oldEnd; ++it) {
        bytes_ -= it->bytes;
        tagged_ -= it->tagged ? 1 : 0;
    }
    std::vector<LineInfo> fresh;
    fresh.reserve(static_cast<std::size_t>(lastNo - firstNo + 1));
    for (QTextBlock b = first;; b = b.next()) {
        const LineInfo info = Measure(b);
        fresh.push_back(info);
        bytes_ += info.bytes;
        tagged_ += info.tagged ? 1 : 0;
        if (b == last) break;
    }
    const auto oldSize = static_cast<std::size_t>(oldEnd - from);
    if (oldSize == fresh.size()) {
        std::copy(fresh.begin(), fresh.end(), from);
    } else {
        const auto at = lines_.erase(from, oldEnd);
        lines_.insert(at, fresh.begin(), fresh.end());
    }
}

std::int64_t ByteDocument::TextLength() const
{
    return bytes_ + 2 * (static_cast<std::int64_t>(lines_.size()) - 1);
}

std::int32_t ByteDocument::LineCount() const
{
    const QTextDocument* doc = editor_.document();
    const bool lastEmpty = doc->lastBlock().length() <= 1;
    return doc->blockCount() - (lastEmpty ? 1 : 0);
}

std::string_view ByteDocument::Line(std::int32_t index) const
{
    line_.clear();
    if (index < 0 || index >= LineCount()) return {};
    const QTextBlock block = editor_.document()->findBlockByNumber(index);
    AppendBytes(block.text(), line_);
    if (line_.size() > static_cast<std::size_t>(kMaxLineLength)) line_.resize(static_cast<std::size_t>(kMaxLineLength));
    return line_;
}

std::string ByteDocument::Text() const
{
    std::string out;
    out.reserve(static_cast<std::size_t>(TextLength()));
    for (QTextBlock b = editor_.document()->begin(); b.isValid(); b = b.next()) {
        if (b.blockNumber() > 0) out += "\r\n";
        AppendBytes(b.text(), out);
    }
    return out;
}

void ByteDocument::SetText(std::string_view bytes)
{
    CheckEditorCapacity(static_cast<std::int64_t>(bytes.size()));
    // Replacing clears the undo history and raises a change even for the same
    // text, so an identical text is left alone.
    if (static_cast<std::int64_t>(bytes.size()) == TextLength() && bytes == Text()) return;
    ReplaceWith(bytes);
}

void ByteDocument::SetTextFromBuffer(std::string_view buffer)
{
    const std::size_t zero = buffer.find('\0');
    if (zero != std::string_view::npos) buffer = buffer.substr(0, zero);
    CheckEditorCapacity(static_cast<std::int64_t>(buffer.size()));
    ReplaceWith(buffer);
}

void ByteDocument::ReplaceWith(std::string_view bytes)
{
    bool given = false;
    Replace([&](QString& text) {
        if (given) return false;
        AppendLines(bytes, text);
        given = true;
        return true;
    });
}

void ByteDocument::SetTextFromPieces(std::vector<std::string>& pieces, std::int64_t textLength)
{
    CheckEditorCapacity(textLength);
    if (HoldsPieces(pieces, textLength)) return;
    std::size_t next = 0;
    Replace([&](QString& text) {
        if (next == pieces.size()) return false;
        AppendLines(pieces[next], text);
        std::string().swap(pieces[next++]);
        return true;
    });
}

bool ByteDocument::HoldsPieces(const std::vector<std::string>& pieces, std::int64_t textLength) const
{
    if (textLength != TextLength()) return false;
    // Pieces end at line breaks, so each one's lines are whole blocks.
    QTextBlock block = editor_.document()->begin();
    bool matched = false; // the current block has been matched with a line
    QString text;
    for (const std::string& piece : pieces) {
        text.clear();
        AppendLines(piece, text);
        for (qsizetype start = 0; start < text.size();) {
            const qsizetype lf = text.indexOf(QLatin1Char('\n'), start);
            const qsizetype end = lf < 0 ? text.size() : lf;
            if (!block.isValid() || QStringView(text).sliced(start, end - start) != block.text()) return false;
            matched = lf < 0;
            if (lf >= 0) block = block.next();
            start = end + 1;
        }
    }
    // After a final line break (or in an empty text) the last block is empty.
    return block.isValid() && (matched || block.length() <= 1) && !block.next().isValid();
}

// As QPlainTextEdit::setPlainText, which the text would have to reach in one
// string beside the editor's own copy: the history is cleared, the text is
// rebuilt in one edit (one change notification), and the caret goes to the start.
void ByteDocument::Replace(const std::function<bool(QString& text)>& nextPiece)
{
    {
        QTextDocument* doc = editor_.document();
        // No repaint while the document is rebuilt.
        const bool updates = editor_.updatesEnabled();
        editor_.setUpdatesEnabled(false);
        doc->setUndoRedoEnabled(false);
        QTextCursor cursor(doc);
        cursor.beginEditBlock();
        // The edit ends, and the editor comes back, also when a piece fails.
        const auto finish = qScopeGuard([&] {
            cursor.endEditBlock();
            doc->setUndoRedoEnabled(true);
            editor_.setTextCursor(QTextCursor(doc));
            editor_.setUpdatesEnabled(updates);
        });
        doc->clear();
        QString text;
        while (nextPiece(text)) {
            cursor.insertText(text);
            text.clear();
        }
    }
    if (wholeTextReplaced_) wholeTextReplaced_();
}

std::int64_t ByteDocument::SelectionLength() const
{
    const QTextCursor cursor = editor_.textCursor();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    if (start == end) return 0;
    if (selRevision_ == revision_ && selStart_ == start && selEnd_ == end) return selBytes_;

    const QTextDocument* doc = editor_.document();
    const QTextBlock firstBlock = doc->findBlock(start);
    const QTextBlock lastBlock = doc->findBlock(end);
    const int firstNo = firstBlock.blockNumber();
    const int lastNo = lastBlock.blockNumber();

    // Bytes of characters [from, to) of one block; a block of single-byte
    // characters needs no look at its text.
    const auto partBytes = [this](const QTextBlock& block, int from, int to) -> std::int64_t {
        const std::int32_t chars = block.length() - 1;
        if (lines_[static_cast<std::size_t>(block.blockNumber())].bytes == chars) return to - from;
        return ByteLength(QStringView(block.text()).mid(from, to - from));
    };

    std::int64_t total = 0;
    const int firstOffset = start - firstBlock.position();
    const int lastOffset = end - lastBlock.position();
    if (firstNo == lastNo) {
        total = partBytes(firstBlock, firstOffset, lastOffset);
    } else {
        total += partBytes(firstBlock, firstOffset, firstBlock.length() - 1);
        for (int i = firstNo + 1; i < lastNo; ++i) total += lines_[static_cast<std::size_t>(i)].bytes;
        total += partBytes(lastBlock, 0, lastOffset);
        total += 2 * static_cast<std::int64_t>(lastNo - firstNo);
    }
    selRevision_ = revision_;
    selStart_ = start;
    selEnd_ = end;
    selBytes_ = total;
    return total;
}

std::pair<std::int64_t, std::int64_t> ByteDocument::SelectionBytes() const
{
    const QTextCursor cursor = editor_.textCursor();
    const std::int64_t start = ByteOfPosition(cursor.selectionStart());
    return {start, start + SelectionLength()};
}

std::int64_t ByteDocument::ByteOfPosition(int position) const
{
    const QTextBlock block = editor_.document()->findBlock(position);
    if (!block.isValid()) return TextLength();
    const int number = block.blockNumber();
    std::int64_t offset = 2 * static_cast<std::int64_t>(number);
    for (int i = 0; i < number; ++i) offset += lines_[static_cast<std::size_t>(i)].bytes;
    return offset + ByteLength(QStringView(block.text()).left(position - block.position()));
}

int ByteDocument::PositionOfByte(std::int64_t offset) const
{
    const QTextDocument* doc = editor_.document();
    std::int64_t lineStart = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const std::int64_t bytes = lines_[static_cast<std::size_t>(block.blockNumber())].bytes;
        if (offset > lineStart + bytes + 1 && block.next().isValid()) {
            lineStart += bytes + 2;
            continue;
        }
        // Characters of the block until `offset` is reached, a surrogate
        // pair taken whole.
        const QString text = block.text();
        std::int64_t at = lineStart;
        qsizetype i = 0;
        while (i < text.size()) {
            const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            const std::int64_t next = at + ByteLength(QStringView(text).mid(i, n));
            if (next > offset) break;
            at = next;
            i += n;
        }
        return block.position() + static_cast<int>(i);
    }
    return 0;
}

void ByteDocument::ReplaceBytes(std::int64_t begin, std::int64_t end, std::string_view bytes)
{
    CheckEditorCapacity(TextLength() - (end - begin) + static_cast<std::int64_t>(bytes.size()));
    const int from = PositionOfByte(begin);
    const int to = std::max(from, PositionOfByte(end));
    QString text;
    AppendLines(bytes, text);
    QTextCursor cursor(editor_.document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    // One edit block: one change notification, and one step for Undo.
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    cursor.setPosition(from);
    editor_.setTextCursor(cursor);
}

bool ByteDocument::CanUndo() const
{
    return editor_.document()->isUndoAvailable();
}

std::int32_t ByteDocument::TaggedLineCount() const
{
    return tagged_;
}

} // namespace mus
