#pragma once
// The Encrypt command: the whole document becomes an armoured block, written
// through the transfer file.

#include <cstdint>
#include <string_view>

#include "cipher/commands/command_ui.h"
#include "cipher/commands/transfer_file.h"
#include "cipher/method02.h"

namespace mus {

inline constexpr std::string_view kNotVerified =
    "The encrypted text could not be verified.  The document was left unchanged.";

// Runs the command. `askForMethod` is the one-shot flag of "Encrypt With
// Specific Method...": when set the method dialog is shown; every run clears
// it. Method 02 derives its key at `costs`. An IoError or another Failure
// ends the run after the transfer file has been deleted and the normal cursor
// is back; the document is then unchanged.
void EncryptCommand(CommandUser& user, CommandDocument& document, bool& askForMethod, TransferFiles& files,
                    Costs costs = kDefaultCosts);

// The same with the transfer file in the current directory.
void EncryptCommand(CommandUser& user, CommandDocument& document, bool& askForMethod, Costs costs = kDefaultCosts);

// True when `block` is a whole block that decrypts with `phrase` to `text`
// under `method`: the check made on what was read back from the transfer file
// before it replaces the document.
bool BlockDecodesTo(std::string_view block, std::string_view text, std::string_view phrase, std::int32_t method);

// The same for a Method 02 block sealed under `key`, with no second derivation.
bool BlockDecodesTo(std::string_view block, std::string_view text, const SealingKey& key);

} // namespace mus
