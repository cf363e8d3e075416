#pragma once
// The cipher engine's own failure: signed 32-bit arithmetic that would
// overflow.

#include <cstdint>

#include "common/failure.h"

namespace mus {

class IntegerOverflow : public Failure {
public:
    IntegerOverflow() : Failure("Integer overflow") {}
};

// Signed 32-bit arithmetic of the cipher engine: an overflow raises
// IntegerOverflow instead of wrapping.
inline std::int32_t CheckedAdd(std::int32_t a, std::int32_t b)
{
    std::int32_t r;
    if (__builtin_add_overflow(a, b, &r)) throw IntegerOverflow();
    return r;
}

inline std::int32_t CheckedMul(std::int32_t a, std::int32_t b)
{
    std::int32_t r;
    if (__builtin_mul_overflow(a, b, &r)) throw IntegerOverflow();
    return r;
}

} // namespace mus
