#pragma once
// Pass phrases: how typed text becomes the phrase bytes of a block, the one
// way every flow asks the user for a phrase, the exchange that gives a new
// block its phrase and the one that finds the phrase of a block.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace mus {

class MethodFamily;

// Folds a UTF-8 phrase to upper case: ASCII a-z become A-Z and the Latin-1
// letters U+00E0..U+00FE (except U+00F7) become U+00C0..U+00DE. Everything
// else is left as it is. The same function serves the editor and `mus`, so a
// phrase means the same bytes everywhere.
std::string FoldPhrase(std::string_view utf8);

// What a phrase prompt asks for, so that the window can offer the help on it.
enum class PromptTopic {
    NewPhrase,     // the phrase of a new block
    Confirmation,  // the new phrase once more
    ProtectedText, // the phrase of the block being decrypted
};

// What a method takes of a phrase, as the flows and the prompts need it.
struct PhraseRule {
    std::int32_t limit = 0;               // bytes of the phrase as its family folds it
    bool required = false;                // a new block needs a phrase: an empty one is not taken
    bool rated = false;                   // a new phrase is rated for how easily it is guessed
    const MethodFamily* family = nullptr; // folds the phrase (MethodFamily::FoldPhrase); none: as entered
};

// Asks the user for phrases, one at a time: the window with its dialogs and
// boxes, `mus` with its phrase file or the terminal.
class PhrasePrompt {
public:
    virtual ~PhrasePrompt() = default;
    // Shows `prompt`, which asks for `topic`, and returns the entered phrase
    // (folded to upper case), or nothing when the user gave up. The flow
    // takes phrases of at most `rule.limit` bytes; a longer one is never the
    // right one.
    virtual std::optional<std::string> Ask(std::string_view prompt, PromptTopic topic, const PhraseRule& rule) = 0;
    // The entered phrase was not taken, for the reason `message` gives; true
    // to ask again.
    virtual bool RetryAfter(std::string_view message) = 0;
    // The new phrase, confirmed, is easy to guess (about 2^`bits` guesses):
    // true to take it all the same, false to ask for both entries anew. A
    // prompt that cannot ask takes it.
    virtual bool TakeWeakPhrase(std::int32_t /*bits*/) { return true; }
    // Called with true before a slow step (a key derivation, decoding a text)
    // and with false after it, before anything else is asked or told.
    virtual void Working(bool /*busy*/) {}
};

// The prompt's working state for the lifetime of the object.
class PromptWorking {
public:
    explicit PromptWorking(PhrasePrompt& prompt) : prompt_(prompt) { prompt_.Working(true); }
    ~PromptWorking() { prompt_.Working(false); }
    PromptWorking(const PromptWorking&) = delete;
    PromptWorking& operator=(const PromptWorking&) = delete;

private:
    PhrasePrompt& prompt_;
};

// The phrase of a new block: asked for, then asked for again to confirm it
// unless the first entry is empty. When `rule.required`, an empty entry is
// asked for again; when `rule.rated`, a confirmed phrase that is easy to
// guess is put to the prompt (TakeWeakPhrase), before any key is derived.
// Entries hold at most `rule.limit` bytes. The phrase, or nothing when the
// user gave up.
std::optional<std::string> AskForNewPhrase(PhrasePrompt& prompt, const PhraseRule& rule);

// What a test makes of an entered phrase.
enum class PhraseVerdict {
    Fits,    // it is the block's phrase
    Wrong,   // it is not: the user is told and asked again
    Damaged, // it is not, and the block is taken to be damaged: asked no more
};

struct KnownPhrase {
    std::optional<std::string> phrase; // the phrase that fits
    bool damaged = false;              // the test gave Damaged
};

// Asks for the phrase of a block, entries of at most `rule.limit` bytes, until
// `test` says one fits; after a wrong one the user is told and may try again.
// The phrase that fits, or nothing when the user gave up or the test found
// the block damaged. Every entry that does not fit is wiped.
KnownPhrase AskForKnownPhrase(PhrasePrompt& prompt, const PhraseRule& rule,
                              const std::function<PhraseVerdict(const std::string& entered)>& test);

} // namespace mus
