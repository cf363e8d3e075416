#include "cipher/phrase.h"

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
        if (*second != *first) {
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
        if (verdict == PhraseVerdict::Fits) return {std::move(entered), false};
        Wipe(*entered);
        if (verdict == PhraseVerdict::Damaged) return {std::nullopt, true};
        if (!prompt.RetryAfter(msg::kPhraseMismatch)) return {};
    }
}

} // namespace mus
