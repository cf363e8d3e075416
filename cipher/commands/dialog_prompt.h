#pragma once
// The phrase prompt of the Encrypt and Decrypt commands, as the window
// shows it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/commands/command_ui.h"
#include "cipher/messages.h"
#include "cipher/phrase.h"

namespace mus {

// The phrase dialog, the error box with Retry and Cancel after a phrase
// that was not taken, the question about a phrase that is easy to guess, and
// the busy cursor while the flow is working.
class DialogPrompt final : public PhrasePrompt {
public:
    // Encrypt keeps one dialog for every prompt of its run, destroyed with
    // the prompt; Decrypt shows a new, empty one for every attempt, destroyed
    // before the answer is looked at.
    enum class Dialogs { OnePerRun, OnePerAttempt };

    DialogPrompt(CommandUser& user, Dialogs dialogs) : user_(user), dialogs_(dialogs) {}

    std::optional<std::string> Ask(std::string_view prompt, PromptTopic topic, const PhraseRule& rule) override
    {
        if (!dialog_) dialog_ = user_.CreatePhraseDialog(rule);
        std::optional<std::string> entered = dialog_->Ask(prompt, topic);
        if (dialogs_ == Dialogs::OnePerAttempt) dialog_.reset();
        return entered;
    }

    bool RetryAfter(std::string_view message) override
    {
        return user_.Alert(AlertSound::Stop, BoxKind::Error, message, Button::Retry | Button::Cancel) == Answer::Retry;
    }

    // The question sound, then "Use it anyway?" with No the default.
    bool TakeWeakPhrase(std::int32_t) override
    {
        return user_.Alert(AlertSound::Question, BoxKind::Confirm, msg::kWeakPhrase,
                           Button::Yes | Button::No | kNoIsDefault) == Answer::Yes;
    }

    void Working(bool busy) override { user_.SetBusyCursor(busy); }

private:
    CommandUser& user_;
    Dialogs dialogs_;
    std::unique_ptr<PhraseDialog> dialog_;
};

} // namespace mus
