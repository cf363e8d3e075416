#pragma once
// Secrets in memory: wiping strings that held phrases or texts, and buffers
// for keys that live in memory the system keeps out of swap and core dumps.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace mus {

// Overwrites the string's bytes, all of its capacity, and empties it.
void Wipe(std::string& secret) noexcept;

// Wipes a string when the scope ends, whichever way it ends.
class ScopedWipe {
public:
    explicit ScopedWipe(std::string& secret) : secret_(secret) {}
    ~ScopedWipe() { Wipe(secret_); }
    ScopedWipe(const ScopedWipe&) = delete;
    ScopedWipe& operator=(const ScopedWipe&) = delete;

private:
    std::string& secret_;
};

// `size` bytes in guarded memory: page-aligned, locked where the system
// allows it, kept out of core dumps, with inaccessible pages around it. The
// bytes are wiped when it goes. Failure "Out of memory" when none is left.
class SecretBuffer {
public:
    explicit SecretBuffer(std::size_t size);
    ~SecretBuffer();
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;

    std::uint8_t* Data() noexcept { return data_; }
    const std::uint8_t* Data() const noexcept { return data_; }
    std::size_t Size() const noexcept { return size_; }

private:
    std::uint8_t* data_;
    std::size_t size_;
};

// libsodium made ready, once; Failure when it cannot be.
void ReadySodium();

} // namespace mus
