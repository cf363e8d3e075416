#include "cipher/keystream.h"

#include "cipher/errors.h"

namespace mus {

KeystreamGenerator& Keystream() noexcept
{
    static KeystreamGenerator generator;
    return generator;
}

std::int32_t PhraseSeed(std::string_view bytes)
{
    std::int32_t sum = 0;
    std::int32_t position = 0;
    for (const char c : bytes) {
        position = CheckedAdd(position, 1);
        sum = CheckedAdd(sum, CheckedMul(position, static_cast<std::uint8_t>(c)));
    }
    return sum;
}

} // namespace mus
