#pragma once
// The Decrypt command: the first armoured block in the document becomes the
// text again.

#include "cipher/commands/command_ui.h"

namespace mus {

// Runs the command on the document. Refusals leave the document unchanged;
// the warnings about an early end and about the CRC value come after the
// decrypted text has replaced it, and so does the information box that tells
// what was repaired when the block needed transport damage undone.
void DecryptCommand(CommandUser& user, CommandDocument& document);

} // namespace mus
