#include "cipher/phrase.h"

#include <sodium.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <stdexcept>
#include <utility>

#include "cipher/messages.h"
#include "cipher/phrase_strength.h"
#include "cipher/secret.h"

namespace mus {

namespace {

// In UTF-8 the Latin-1 letters U+00C0..U+00FF are the byte 0xC3 followed by
// 0x80..0xBF; the small letters U+00E0..U+00FE are 0xA0..0xBE after it.
constexpr unsigned char kLatin1Lead = 0xC3;
constexpr unsigned char kFirstSmall = 0xA0;   // U+00E0
constexpr unsigned char kLastSmall = 0xBE;    // U+00FE
constexpr unsigned char kDivisionSign = 0xB7; // U+00F7
constexpr unsigned char kCaseDistance = 0x20;
constexpr unsigned char kFirstContinuation = 0x80;
constexpr unsigned char kLastContinuation = 0xBF;

} // namespace

std::string FoldPhrase(std::string_view utf8)
{
    std::string out(utf8);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - kCaseDistance);
        } else if (c == kLatin1Lead && i + 1 < out.size()) {
            const auto next = static_cast<unsigned char>(out[i + 1]);
            if (next >= kFirstSmall && next <= kLastSmall && next != kDivisionSign)
                out[i + 1] = static_cast<char>(next - kCaseDistance);
            if (next >= kFirstContinuation && next <= kLastContinuation) ++i;
        }
    }
    return out;
}

namespace {

// The phrase in normal form C. ICU's own copies of the phrase are beyond
// reach; the UTF-16 buffers this function fills are wiped.
icu::UnicodeString Normalised(const icu::UnicodeString& text)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) throw std::runtime_error("the Unicode normalisation data cannot be loaded");
    icu::UnicodeString normal = nfc->normalize(text, status);
    if (U_FAILURE(status)) throw std::runtime_error("the phrase cannot be normalised");
    return normal;
}

// Wipes the string's whole buffer and empties it.
void WipeUnicode(icu::UnicodeString& text)
{
    const int32_t capacity = text.getCapacity();
    if (char16_t* units = text.getBuffer(capacity)) {
        sodium_memzero(units, static_cast<std::size_t>(capacity) * sizeof(char16_t));
        text.releaseBuffer(0);
    }
}

} // namespace

std::string FoldPhraseFully(std::string_view utf8)
{
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    icu::UnicodeString folded = Normalised(text);
    WipeUnicode(text);
    folded.toUpper(icu::Locale::getRoot());
    icu::UnicodeString normal = Normalised(folded);
    WipeUnicode(folded);
    std::string out;
    normal.toUTF8String(out);
    WipeUnicode(normal);
    return out;
}

std::string FoldByRule(const PhraseRule& rule, std::string_view entered)
{
    return rule.folding == Folding::AfterEntry ? FoldPhraseFully(entered) : FoldPhrase(entered);
}

bool PhraseFits(const PhraseRule& rule, std::string_view entered)
{
    const auto fits = [&rule](std::string folded) {
        const bool within = folded.size() <= static_cast<std::size_t>(rule.limit);
        Wipe(folded);
        return within;
    };
    return fits(FoldByRule(rule, entered)) || (rule.earlierFoldingFits && fits(FoldPhrase(entered)));
}

std::optional<std::string> AskForNewPhrase(PhrasePrompt& prompt, const PhraseRule& rule)
{
    const std::string_view question = rule.required ? msg::kPromptPhraseRequired : msg::kPromptPhrase;
    for (;;) {
        std::optional<std::string> first = prompt.Ask(question, PromptTopic::NewPhrase, rule);
        if (!first) return std::nullopt;
        if (first->empty()) {
            if (!rule.required) return first; // no phrase, no confirmation
            if (!prompt.RetryAfter(msg::kPhraseRequired)) return std::nullopt;
            continue;
        }
        const ScopedWipe wipeFirst(*first);
        std::optional<std::string> second = prompt.Ask(msg::kPromptConfirm, PromptTopic::Confirmation, rule);
        if (!second) return std::nullopt;
        const ScopedWipe wipeSecond(*second);
        std::string firstFolded = FoldByRule(rule, *first), secondFolded = FoldByRule(rule, *second);
        const bool same = firstFolded == secondFolded;
        Wipe(firstFolded);
        Wipe(secondFolded);
        if (!same) {
            if (!prompt.RetryAfter(msg::kPhrasesDoNotMatch)) return std::nullopt;
            continue;
        }
        if (rule.rated) {
            const PhraseStrength strength = EstimatePhraseStrength(*first);
            if (strength.bits < kWeakPhraseBits && !prompt.TakeWeakPhrase(strength.bits)) continue;
        }
        return std::string(*first);
    }
}

KnownPhrase AskForKnownPhrase(PhrasePrompt& prompt, const PhraseRule& rule,
                              const std::function<PhraseVerdict(const std::string& entered)>& test)
{
    for (;;) {
        std::optional<std::string> entered = prompt.Ask(msg::kPromptProtected, PromptTopic::ProtectedText, rule);
        if (!entered) return {};
        const PhraseVerdict verdict = test(*entered);
        if (verdict == PhraseVerdict::Fits) return {std::move(entered)};
        Wipe(*entered);
        const std::string_view message = verdict == PhraseVerdict::WrongMaybeDamaged ? msg::kPhraseMismatchMaybeDamaged
                                                                                     : msg::kPhraseMismatch;
        if (!prompt.RetryAfter(message)) return {};
    }
}

} // namespace mus
