#include "cipher/block_reader.h"

#include <memory>
#include <utility>

#include "cipher/messages.h"
#include "cipher/secret.h"

namespace mus {

std::optional<std::string_view> DecodeWarning(const DecodedText& decoded)
{
    if (decoded.endedEarly) return msg::kEndedEarly;
    if (decoded.crcMissing) return msg::kCrcMissing;
    if (decoded.crcDiffers) return msg::kCrcError;
    return std::nullopt;
}

namespace {

// One view of the block, read up to its phrase: the document as it stands,
// or its repaired view.
struct View {
    BlockHeader header;
    const MethodInfo* method = nullptr;
    std::unique_ptr<FamilyReading> ownReading; // when it shares none
    std::unique_ptr<BlockBody> body;
};

// The repaired view: its lines and what was undone to get them.
struct RepairedView : View {
    explicit RepairedView(RepairedBlock repaired) : block(std::move(repaired)), lines(block.lines) {}
    RepairedBlock block;
    TextLines lines;
};

// Opens the body of `view` through its method's family; `shared` is the
// reading of another view of the same run, used when the family is the same.
std::optional<Refusal> OpenBody(const DocumentLines& lines, View& view, FamilyReading* shared,
                                const MethodInfo* sharedMethod)
{
    view.method = &ReaderMethod(view.header.method);
    FamilyReading* reading = shared;
    if (reading == nullptr || sharedMethod == nullptr || sharedMethod->family != view.method->family) {
        view.ownReading = view.method->family->BeginReading(*view.method);
        reading = view.ownReading.get();
    }
    FamilyReading::Opened opened = reading->Open(lines, view.header);
    view.body = std::move(opened.body);
    return opened.refusal;
}

FamilyReading* ReadingOf(View& view)
{
    return view.ownReading.get();
}

class Reader {
public:
    Reader(const DocumentLines& lines, std::string_view document, bool repair, PhrasePrompt& prompt)
        : lines_(lines), document_(document), repair_(repair), prompt_(prompt)
    {
    }

    ReadOutcome Read(const TextSink& sink, Delivery delivery);
    // The span of the block whose text is being handed on.
    const BlockSpan& Span() const { return span_; }

private:
    // The repaired view, made once when first asked for; null when there is
    // none to read (nothing to undo, or no readable block in it).
    RepairedView* Repaired();
    bool SameNeeds(const BlockBody& other) const { return repaired_->body->NeedsPhrase() == other.NeedsPhrase(); }
    void Deliver(View& view, const TextSink& sink, Delivery delivery, ReadOutcome& outcome);

    const DocumentLines& lines_;
    std::string_view document_;
    bool repair_;
    PhrasePrompt& prompt_;
    HeaderResult located_;
    View strict_;
    bool repairedTried_ = false;
    std::unique_ptr<RepairedView> repaired_;
    BlockSpan span_;
};

RepairedView* Reader::Repaired()
{
    if (repairedTried_ || !repair_) return repaired_.get();
    repairedTried_ = true;
    std::optional<std::size_t> locatedAt;
    if (located_.located) locatedAt = LineOffset(document_, located_.header.headerLine);
    std::optional<RepairedBlock> block = RepairTransport(document_, locatedAt);
    if (!block || !block->repairs.Any()) return nullptr;
    auto view = std::make_unique<RepairedView>(std::move(*block));
    const HeaderResult header = ReadHeader(view->lines);
    if (header.refusal) return nullptr;
    view->header = header.header;
    if (OpenBody(view->lines, *view, ReadingOf(strict_), strict_.method)) return nullptr;
    repaired_ = std::move(view);
    return repaired_.get();
}

// The span is known before the text is handed on.
void Reader::Deliver(View& view, const TextSink& sink, Delivery delivery, ReadOutcome& outcome)
{
    if (&view == repaired_.get()) {
        span_ = repaired_->block.span;
    } else if (repair_) {
        span_ = FindBlockSpan(document_, LineOffset(document_, view.header.headerLine),
                              LineOffset(document_, view.header.crcLine));
    }
    BlockBody::Result result = view.body->Decode(sink, delivery);
    outcome.refusal = result.refusal;
    outcome.decoded = std::move(result.decoded);
    outcome.span = span_;
    if (&view == repaired_.get()) {
        outcome.header = view.header;
        outcome.repairs = repaired_->block.repairs;
    }
}

ReadOutcome Reader::Read(const TextSink& sink, Delivery delivery)
{
    ReadOutcome outcome;
    located_ = ReadHeader(lines_);
    outcome.header = located_.header;
    std::optional<Refusal> strictRefusal = located_.refusal;
    if (strictRefusal == Refusal::EmptyDocument) {
        outcome.refusal = strictRefusal;
        return outcome;
    }
    if (!strictRefusal) {
        strict_.header = located_.header;
        strictRefusal = OpenBody(lines_, strict_, nullptr, nullptr);
    }
    BlockBody* strict = strictRefusal ? nullptr : strict_.body.get();
    // A block the strict reading refuses before its phrase is read repaired,
    // or not at all.
    if (strict == nullptr && Repaired() == nullptr) {
        outcome.refusal = strictRefusal;
        return outcome;
    }

    View* chosen = strict != nullptr ? &strict_ : repaired_.get();
    std::string phrase;
    const ScopedWipe wipe(phrase);
    if (chosen->body->NeedsPhrase()) {
        KnownPhrase known = AskForKnownPhrase(prompt_, chosen->body->EntryRule(), [&](const std::string& entered) {
            if (strict == nullptr) {
                if (repaired_->body->Unlock(entered, prompt_)) return PhraseVerdict::Fits;
                return repaired_->body->MismatchMayBeDamage() ? PhraseVerdict::WrongMaybeDamaged : PhraseVerdict::Wrong;
            }
            if (strict->Unlock(entered, prompt_)) {
                chosen = &strict_;
                return PhraseVerdict::Fits;
            }
            // The same phrase on the repaired view, which must then be
            // verified, before the phrase is called wrong.
            if (Repaired() != nullptr && SameNeeds(*strict) && repaired_->body->Unlock(entered, prompt_) &&
                repaired_->body->Passes(BodyCheck::Verified)) {
                chosen = repaired_.get();
                return PhraseVerdict::Fits;
            }
            return strict->MismatchMayBeDamage() ? PhraseVerdict::WrongMaybeDamaged : PhraseVerdict::Wrong;
        });
        if (!known.phrase) {
            outcome.refusal = Refusal::PhraseCancelled;
            return outcome;
        }
        phrase = std::move(*known.phrase);
    }

    if (chosen != &strict_) {
        // The repaired view alone: its text only when verified; otherwise
        // the strict reading's refusal, as that reading alone gives it.
        if (!chosen->body->Passes(BodyCheck::Verified)) {
            outcome.refusal = strictRefusal;
            return outcome;
        }
        const PromptWorking working(prompt_);
        Deliver(*chosen, sink, Delivery::Whole, outcome);
        return outcome;
    }
    const PromptWorking working(prompt_);
    if (!repair_ || strict->Passes(BodyCheck::NoWarning)) {
        Deliver(strict_, sink, delivery, outcome);
        return outcome;
    }
    RepairedView* repaired = Repaired();
    if (repaired != nullptr && SameNeeds(*strict) &&
        (!repaired->body->NeedsPhrase() || repaired->body->Unlock(phrase, prompt_)) &&
        repaired->body->Passes(BodyCheck::Verified)) {
        Deliver(*repaired, sink, Delivery::Whole, outcome);
    } else {
        Deliver(strict_, sink, delivery, outcome);
    }
    return outcome;
}

} // namespace

ReadOutcome ReadArmouredBlock(const DocumentLines& lines, PhrasePrompt& prompt, const TextSink& sink, Delivery delivery)
{
    return Reader(lines, {}, false, prompt).Read(sink, delivery);
}

ReadOutcome DecryptDocument(std::string_view document, PhrasePrompt& prompt, const TextSink& sink, Delivery delivery)
{
    const TextLines lines(document);
    return Reader(lines, document, true, prompt).Read(sink, delivery);
}

ReadOutcome DecryptDocument(std::string_view document, PhrasePrompt& prompt, const PlacedTextSink& sink)
{
    const TextLines lines(document);
    Reader reader(lines, document, true, prompt);
    return reader.Read([&](std::string_view text) { sink(reader.Span(), text); }, Delivery::Whole);
}

std::string_view LineBreakAfter(std::string_view text)
{
    if (!text.empty() && (text.back() == '\n' || text.back() == '\r')) return {};
    return "\r\n";
}

} // namespace mus
