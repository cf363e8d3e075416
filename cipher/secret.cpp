#include "cipher/secret.h"

#include <sodium.h>

#include "common/failure.h"

namespace mus {

void ReadySodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready) throw Failure("The cryptographic library cannot be initialised");
}

void Wipe(std::string& secret) noexcept
{
    // Resizing to the capacity neither moves nor frees the buffer.
    secret.resize(secret.capacity());
    sodium_memzero(secret.data(), secret.size());
    secret.clear();
}

SecretBuffer::SecretBuffer(std::size_t size) : size_(size)
{
    ReadySodium();
    data_ = static_cast<std::uint8_t*>(sodium_malloc(size));
    if (data_ == nullptr) throw Failure("Out of memory");
}

SecretBuffer::~SecretBuffer()
{
    sodium_free(data_); // wipes, unlocks and frees
}

} // namespace mus
