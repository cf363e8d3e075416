#pragma once
// A scripted stand-in for the window: it answers the commands' dialogs and
// boxes from a list, in order, and writes everything the commands do to the
// user and the document into one log, in order.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "cipher/commands/command_ui.h"
#include "cipher/document_lines.h"
#include "cipher/method02.h"

namespace mus::fake {

// One answer of the script.
struct PhraseStep {
    std::optional<std::string> phrase; // nothing: Cancel
};
struct MethodStep {
    std::optional<std::int32_t> method; // nothing: Cancel
};
struct BoxStep {
    Answer answer;
};
using Step = std::variant<PhraseStep, MethodStep, BoxStep>;

inline Step Phrase(std::string phrase)
{
    return PhraseStep{std::move(phrase)};
}
inline Step CancelPhrase()
{
    return PhraseStep{std::nullopt};
}
inline Step Method(std::int32_t method)
{
    return MethodStep{method};
}
inline Step CancelMethod()
{
    return MethodStep{std::nullopt};
}
inline Step Reply(Answer answer)
{
    return BoxStep{answer};
}

using Log = std::vector<std::string>;

inline std::string KindName(BoxKind kind)
{
    switch (kind) {
    case BoxKind::Warning: return "warning";
    case BoxKind::Error: return "error";
    case BoxKind::Information: return "information";
    case BoxKind::Confirm: return "confirm";
    }
    return "?";
}

inline std::string SoundName(AlertSound sound)
{
    switch (sound) {
    case AlertSound::Stop: return "stop";
    case AlertSound::Question: return "question";
    case AlertSound::Exclamation: return "exclamation";
    }
    return "?";
}

// The buttons left to right, e.g. "Retry Cancel" (in the box's own order).
inline std::string ButtonNames(Buttons buttons)
{
    static const std::pair<Button, const char*> order[] = {
        {Button::Yes, "Yes"},       {Button::No, "No"},       {Button::Ok, "OK"},
        {Button::Cancel, "Cancel"}, {Button::Abort, "Abort"}, {Button::Retry, "Retry"},
        {Button::Ignore, "Ignore"}, {Button::All, "All"},     {Button::Help, "Help"},
    };
    std::string names;
    for (const auto& [button, name] : order) {
        if (!Has(buttons, button)) continue;
        if (!names.empty()) names += ' ';
        names += name;
    }
    if ((buttons & kNoIsDefault) != 0) names += ", No default";
    return names;
}

// Log lines, as the tests spell them.
inline std::string BoxLine(BoxKind kind, std::string_view buttons, std::string_view text)
{
    return "box " + KindName(kind) + " [" + std::string(buttons) + "] " + std::string(text);
}
inline std::string SoundLine(AlertSound sound)
{
    return "sound " + SoundName(sound);
}
inline std::string TopicName(PromptTopic topic)
{
    switch (topic) {
    case PromptTopic::NewPhrase: return "new phrase";
    case PromptTopic::Confirmation: return "confirmation";
    case PromptTopic::ProtectedText: return "protected text";
    }
    return "?";
}
inline std::string PromptLine(std::string_view prompt, PromptTopic topic)
{
    return "prompt " + std::string(prompt) + " (help: " + TopicName(topic) + ")";
}
inline std::string NewDialogLine(std::int32_t limit)
{
    return "new phrase dialog, " + std::to_string(limit) + " bytes";
}
inline const std::string kKeyDerived = "key derived";

class ScriptedUser final : public CommandUser {
public:
    // Every key derivation while the user exists is logged too.
    explicit ScriptedUser(Log& log) : log_(&log)
    {
        SetDerivationObserver([this] { log_->push_back(kKeyDerived); });
    }
    ~ScriptedUser() override { SetDerivationObserver({}); }
    ScriptedUser(const ScriptedUser&) = delete;
    ScriptedUser& operator=(const ScriptedUser&) = delete;

    void Script(std::vector<Step> steps) { script_.assign(steps.begin(), steps.end()); }
    bool ScriptUsedUp() const { return script_.empty(); }
    bool Busy() const { return busy_; }
    int PhraseDialogsAlive() const { return alive_; }

    std::optional<std::int32_t> AskForMethod() override
    {
        log_->push_back("method dialog");
        if (auto* step = Next<MethodStep>("method dialog")) return step->method;
        return std::nullopt;
    }

    std::unique_ptr<PhraseDialog> CreatePhraseDialog(const PhraseRule& rule) override
    {
        log_->push_back(NewDialogLine(rule.limit));
        return std::make_unique<Dialog>(*this, rule);
    }

    Answer ShowBox(BoxKind kind, std::string_view text, Buttons buttons) override
    {
        log_->push_back(BoxLine(kind, ButtonNames(buttons), text));
        // A box of one button needs no script: that button closes it.
        if (buttons == ButtonSet(Button::Ok)) return Answer::Ok;
        if (auto* step = Next<BoxStep>("box")) return step->answer;
        return EscapeAnswer(buttons);
    }

    void PlaySound(AlertSound sound) override { log_->push_back(SoundLine(sound)); }

    void SetBusyCursor(bool busy) override
    {
        busy_ = busy;
        log_->push_back(busy ? "busy cursor" : "normal cursor");
    }

private:
    class Dialog final : public PhraseDialog {
    public:
        Dialog(ScriptedUser& user, const PhraseRule& rule) : user_(user), rule_(rule) { ++user_.alive_; }
        ~Dialog() override
        {
            --user_.alive_;
            user_.log_->push_back("phrase dialog destroyed");
        }
        std::optional<std::string> Ask(std::string_view prompt, PromptTopic topic) override
        {
            user_.log_->push_back(PromptLine(prompt, topic));
            const auto* step = user_.Next<PhraseStep>("prompt");
            if (step == nullptr) return std::nullopt;
            // The real entry takes nothing its rule does not.
            if (step->phrase && !PhraseFits(rule_, *step->phrase)) user_.log_->push_back("PHRASE OVER THE LIMIT");
            return step->phrase;
        }

    private:
        ScriptedUser& user_;
        PhraseRule rule_;
    };

    // The next answer when it is of the kind asked for; otherwise the log
    // says so and the question counts as cancelled.
    template <typename T>
    const T* Next(const char* what)
    {
        if (!script_.empty() && std::holds_alternative<T>(script_.front())) {
            current_ = script_.front();
            script_.pop_front();
            return &std::get<T>(current_);
        }
        log_->push_back(std::string("UNSCRIPTED ") + what);
        return nullptr;
    }

    Log* log_;
    std::deque<Step> script_;
    Step current_;
    bool busy_ = false;
    int alive_ = 0;
};

// The editor's document as a byte string with CR LF line breaks.
class ScriptedDocument final : public CommandDocument {
public:
    explicit ScriptedDocument(Log& log, std::string text = {}) : log_(&log), text_(std::move(text)), lines_(text_) {}

    const std::string& Bytes() const { return text_; }
    int Replacements() const { return replacements_; }
    // The editor refuses texts longer than this.
    void LimitCapacity(std::size_t bytes) { capacity_ = bytes; }
    // Sets the text without logging, as typing would.
    void Type(std::string text)
    {
        text_ = std::move(text);
        lines_ = TextLines(text_);
    }

    std::int64_t TextLength() const override { return lines_.TextLength(); }
    std::int32_t LineCount() const override { return lines_.LineCount(); }
    std::string_view Line(std::int32_t index) const override { return lines_.Line(index); }
    std::string Text() const override { return text_; }

    void LoadText(std::string_view bytes) override
    {
        if (bytes != text_) Replace(bytes);
    }

    void ReplaceWithBuffer(std::string_view buffer) override { Replace(buffer.substr(0, buffer.find('\0'))); }

    // Selects bytes [begin, end), as the user would.
    void Select(TextRange range) { selection_ = range; }
    TextRange Selection() const override { return selection_; }

    void ReplaceRange(TextRange range, std::string_view bytes) override
    {
        if (range.begin > range.end || range.end > text_.size()) {
            log_->push_back("RANGE OUTSIDE THE TEXT");
            return;
        }
        Replace(text_.substr(0, range.begin).append(bytes).append(text_.substr(range.end)), "range replaced");
    }

private:
    void Replace(std::string_view bytes, const char* what = "document replaced")
    {
        if (capacity_ && bytes.size() > *capacity_) throw Failure("Text exceeds memo capacity");
        Type(std::string(bytes));
        selection_ = {};
        ++replacements_;
        log_->push_back(what);
    }

    Log* log_;
    std::string text_;
    TextLines lines_;
    std::optional<std::size_t> capacity_;
    TextRange selection_;
    int replacements_ = 0;
};

} // namespace mus::fake
