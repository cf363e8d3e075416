#pragma once
// The Encrypt commands: the whole document, or the selection, becomes an
// armoured block, written through the transfer file.

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

// Encrypt Selection: the selected text alone, after the method dialog, with
// Encrypt's refusals (nothing selected: no text to encrypt), question,
// phrase exchange and check. The block takes the selection's place on lines
// of its own, in one step that one Undo takes back.
void EncryptSelectionCommand(CommandUser& user, CommandDocument& document, TransferFiles& files,
                             Costs costs = kDefaultCosts);
void EncryptSelectionCommand(CommandUser& user, CommandDocument& document, Costs costs = kDefaultCosts);

} // namespace mus
