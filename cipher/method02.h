#pragma once
// Method 02: the text sealed whole with XChaCha20-Poly1305 under a key that
// Argon2id derives from the phrase, written as the body of an armoured block
// in the Method 01 alphabet.
//
// Body bytes: suite (1), passes (1), log2 of the memory in KiB (1), salt (16),
// nonce (24), phrase check (4), then the sealed text and its 16-byte tag.
// Everything cryptographic is libsodium's.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/armoured_block.h"
#include "cipher/block_header.h"
#include "cipher/document_lines.h"
#include "cipher/method_family.h"
#include "cipher/secret.h"

namespace mus {

inline constexpr std::int32_t kMethod02 = 2;
// The version field of its blocks, and the longest phrase and text it takes.
inline constexpr std::string_view kMethod02WriterVersion = "0130";
inline constexpr std::int32_t kMethod02PhraseLimit = 64; // bytes of folded UTF-8
inline constexpr std::int32_t kMethod02TextLimit = kMaxTextLength;

// The stored costs (Costs, method_family.h) are Argon2id's passes and memory.

inline constexpr std::uint8_t kSuite = 1; // Argon2id v1.3, BLAKE2b subkeys, XChaCha20-Poly1305
inline constexpr std::size_t kSaltSize = 16;
inline constexpr std::size_t kNonceSize = 24;
inline constexpr std::size_t kCheckSize = 4;
inline constexpr std::size_t kKeySize = 32;
inline constexpr std::size_t kTagSize = 16;
// Suite, costs, salt, nonce and check: the bytes before the sealed text.
inline constexpr std::size_t kPreambleSize = 3 + kSaltSize + kNonceSize + kCheckSize;
using Salt = std::array<std::uint8_t, kSaltSize>;
using Nonce = std::array<std::uint8_t, kNonceSize>;
using PhraseCheck = std::array<std::uint8_t, kCheckSize>;

// The key and the phrase check derived from one phrase, salt and costs. They
// and the derivation's output live in guarded memory (SecretBuffer), wiped
// when they go.
class SealingKey {
public:
    // One Argon2id derivation. The phrase holds 0 to 64 bytes and the costs
    // are within the reader's bounds, else std::invalid_argument. Failure
    // "Out of memory" when the derivation cannot get its memory.
    SealingKey(std::string_view phrase, const Salt& salt, Costs costs);
    // The same under a fresh random salt.
    SealingKey(std::string_view phrase, Costs costs);
    ~SealingKey();
    SealingKey(const SealingKey&) = delete;
    SealingKey& operator=(const SealingKey&) = delete;

    const Salt& KeySalt() const noexcept { return salt_; }
    Costs KeyCosts() const noexcept { return costs_; }
    std::span<const std::uint8_t, kCheckSize> Check() const noexcept
    {
        return std::span<const std::uint8_t, kCheckSize>(secret_.Data() + kKeySize, kCheckSize);
    }
    // Compares in constant time.
    bool Matches(const PhraseCheck& stored) const noexcept;
    std::span<const std::uint8_t, kKeySize> AeadKey() const noexcept
    {
        return std::span<const std::uint8_t, kKeySize>(secret_.Data(), kKeySize);
    }

private:
    void Derive(std::string_view phrase);

    Salt salt_{};
    Costs costs_{};
    SecretBuffer secret_{kKeySize + kCheckSize}; // the key, then the check
};

// Writes the block of `text` (1..kMaxTextLength bytes) sealed under `key`,
// from the START line to the END line, with a fresh random nonce.
void WriteMethod02Block(std::string_view text, const SealingKey& key, const LineSink& sink);
// The same with the nonce given (known answers, fuzzing).
void WriteMethod02Block(std::string_view text, const SealingKey& key, const Nonce& nonce, const LineSink& sink);

// What the reader takes from a Method 02 block before it asks for a phrase.
struct SealedBlock {
    Costs costs;
    Salt salt{};
    Nonce nonce{};
    PhraseCheck check{};
    std::string associatedData;       // the header line as written, then body bytes 0..46
    std::vector<std::uint8_t> sealed; // the sealed text and its tag
    bool crcDiffers = false;          // a CRC value is stored and is not the computed one
};

struct SealedRead {
    std::optional<Refusal> refusal; // Damaged or UnsupportedMethod; empty when `block` is usable
    SealedBlock block;
};

// Reads and bounds the body of the Method 02 block `header` describes,
// without any key derivation: every character must be of the Method 01
// alphabet and every pad byte a blank.
SealedRead ReadSealedBlock(const DocumentLines& lines, const BlockHeader& header);

// The whole text (L bytes, zero bytes included), or nothing when the block
// fails authentication; no byte of an unauthenticated text is kept.
std::optional<std::string> OpenSealedBlock(const SealedBlock& block, const SealingKey& key);

// Called at the start of every key derivation; tests watch derivations
// through it. An empty function stops watching.
void SetDerivationObserver(std::function<void()> observer);

// The sealed family: one row, Method 02. A run of Decrypt derives a key once
// for every salt, costs and phrase it meets.
class SealedFamily final : public MethodFamily {
public:
    std::string FoldPhrase(std::string_view entered) const override;
    bool RatesPhrase() const override { return true; }
    std::unique_ptr<WrittenBlock> Write(std::string_view text, std::string& phrase, const MethodInfo& method,
                                        Costs costs, const LineSink& sink) const override;
    std::unique_ptr<FamilyReading> BeginReading(const MethodInfo& method) const override;
};

extern const SealedFamily kSealedFamily;

} // namespace mus
