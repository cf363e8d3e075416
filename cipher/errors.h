#pragma once
// Failures that no command handles itself. Each carries the message shown in
// the failure report, without its closing full stop.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace mus {

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
