#pragma once
// The Encrypt command: the whole document becomes an armoured block, written
// through the transfer file.

#include <cstdint>
#include <string_view>

#include "cipher/commands/command_ui.h"
#include "cipher/commands/transfer_file.h"
#include "cipher/method_family.h"

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

} // namespace mus
