#include "cipher/commands/command_ui.h"

namespace mus {

void CommandDocument::LoadText(std::string_view bytes)
{
    if (static_cast<std::int64_t>(bytes.size()) == TextLength() && Text() == bytes) return;
    if (!SetText(bytes)) throw LoadFailure(std::string(kTextExceedsCapacity));
}

void CommandDocument::ReplaceWithBuffer(std::string_view buffer)
{
    if (!SetText(buffer.substr(0, buffer.find('\0')))) throw LoadFailure(std::string(kTextExceedsCapacity));
}

} // namespace mus
