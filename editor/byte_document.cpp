#include "editor/byte_document.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

#include "cipher/armoured_block.h"
#include "cipher/errors.h"
#include "editor/byte_codec.h"

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

ByteDocument::ByteDocument(QPlainTextEdit& editor) : editor_(editor)
{
    Rebuild();
    connection_ = QObject::connect(editor_.document(), &QTextDocument::contentsChange, &editor_,
                                   [this](int position, int removed, int added) {
                                       OnContentsChange(position, removed, added);
                                   });
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
    Replace(bytes);
}

void ByteDocument::SetTextFromBuffer(std::string_view buffer)
{
    const std::size_t zero = buffer.find('\0');
    if (zero != std::string_view::npos) buffer = buffer.substr(0, zero);
    CheckEditorCapacity(static_cast<std::int64_t>(buffer.size()));
    Replace(buffer);
}

void ByteDocument::Replace(std::string_view bytes)
{
    const QString text = BytesToText(bytes);
    // No repaint while the document is rebuilt.
    const bool updates = editor_.updatesEnabled();
    editor_.setUpdatesEnabled(false);
    editor_.setPlainText(text);
    editor_.setUpdatesEnabled(updates);
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

bool ByteDocument::CanUndo() const
{
    return editor_.document()->isUndoAvailable();
}

std::int32_t ByteDocument::TaggedLineCount() const
{
    return tagged_;
}

std::int64_t ByteDocument::ScanTextLength() const
{
    return static_cast<std::int64_t>(Text().size());
}

std::int32_t ByteDocument::ScanTaggedLineCount() const
{
    std::int32_t count = 0;
    for (QTextBlock b = editor_.document()->begin(); b.isValid(); b = b.next()) {
        if (StartsWithTag(b.text())) ++count;
    }
    return count;
}

} // namespace mus
