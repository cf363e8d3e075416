#include "cipher/group_codec.h"

#include "cipher/codec_detail.h"

namespace mus {

Quad EncodeGroup(const Triple& group, std::int32_t method) noexcept
{
    Quad quad;
    detail::Encode(group[0], group[1], group[2], detail::PairsOf(method), quad.data());
    return quad;
}

Triple DecodeGroup(const char* four, std::int32_t method) noexcept
{
    // For any method code other than 0 and 1, V is 0. No input can overflow
    // the checked sum; a function that cannot fail would end the process if
    // one did.
    return detail::GroupBytes(detail::GroupValue(four, detail::ValuesOf(method)));
}

} // namespace mus
