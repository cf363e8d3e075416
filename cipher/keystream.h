#pragma once
// The keystream generator: a 32-bit linear congruential generator seeded from
// the pass phrase at the start of every pass over the data.

#include <cstdint>
#include <string_view>

namespace mus {

class KeystreamGenerator {
public:
    static constexpr std::uint32_t kMultiplier = 134775813u; // 0x08088405

    void Seed(std::int32_t value) noexcept { state_ = static_cast<std::uint32_t>(value); }

    // Advances the state once, then returns floor(state * bound / 2^32).
    std::uint32_t Draw(std::uint32_t bound) noexcept
    {
        state_ = state_ * kMultiplier + 1u;
        return static_cast<std::uint32_t>((std::uint64_t{state_} * bound) >> 32);
    }

    std::uint32_t State() const noexcept { return state_; }

private:
    std::uint32_t state_ = 0;
};

// The one generator of the process, shared by the Encrypt and Decrypt passes.
KeystreamGenerator& Keystream() noexcept;

// Sum of i * byte(i) over positions i = 1..n, bytes unsigned, in checked
// signed 32-bit arithmetic (IntegerOverflow on overflow).
std::int32_t PhraseSeed(std::string_view bytes);

} // namespace mus
