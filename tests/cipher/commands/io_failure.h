#pragma once
// Checks for an Encrypt run that a failing transfer file ends.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "cipher/commands/encrypt_command.h"
#include "cipher/messages.h"
#include "tests/support/scripted_ui.h"

namespace mus::fake {

// Encrypts the document with an empty phrase; the IoError that ended the run.
inline std::optional<IoError> EncryptExpectingIoError(ScriptedUser& user, ScriptedDocument& document,
                                                      TransferFiles& files)
{
    user.Script({Phrase("")});
    bool askForMethod = false;
    try {
        EncryptCommand(user, document, askForMethod, files);
    } catch (const IoError& error) {
        return error;
    }
    return std::nullopt;
}

// The run ended with `code` and `message`, after the normal cursor came back,
// and the document kept its text (`text`).
inline void ExpectIoFailure(const std::optional<IoError>& error, int code, const std::string& message,
                            const ScriptedUser& user, const ScriptedDocument& document, const Log& log,
                            const std::string& text = "Hello")
{
    ASSERT_TRUE(error.has_value()) << "no I/O error";
    EXPECT_EQ(error->Code(), code);
    EXPECT_EQ(std::string(error->what()), message);
    const Log expected = {NewDialogLine(16), PromptLine(msg::kPromptPhrase, PromptTopic::NewPhrase),
                          "phrase dialog destroyed", "busy cursor", "normal cursor"};
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(user.Busy());
    EXPECT_EQ(document.Bytes(), text);
}

} // namespace mus::fake
