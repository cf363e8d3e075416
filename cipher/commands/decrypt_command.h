#pragma once
// The Decrypt command: the first armoured block in the document becomes the
// text again.

#include "cipher/commands/command_ui.h"

namespace mus {

// Runs the command on the document's logical lines. Refusals leave the
// document unchanged; the warnings about an early end and about the CRC
// value come after the decrypted text has replaced it.
void DecryptCommand(CommandUser& user, CommandDocument& document);

} // namespace mus
