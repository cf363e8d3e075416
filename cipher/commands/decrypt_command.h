#pragma once
// The Decrypt commands: the first armoured block in the document becomes the
// text again, as the whole document or in the place of the block's lines.

#include "cipher/commands/command_ui.h"

namespace mus {

// Runs the command on the document. Refusals leave the document unchanged;
// the warnings about an early end and about the CRC value come after the
// decrypted text has replaced it, and so does the information box that tells
// what was repaired when the block needed transport damage undone.
void DecryptCommand(CommandUser& user, CommandDocument& document);

// Decrypt in Place: the same checks, prompts, repairs and boxes, but the
// text takes the place of the block's lines alone (from its START line, or
// its header line, to its END line, or its CRC line, quote marks and the
// blank lines within included), followed by a line break unless it ends with
// one; every other line stays. One Undo brings the block back.
void DecryptInPlaceCommand(CommandUser& user, CommandDocument& document);

} // namespace mus
