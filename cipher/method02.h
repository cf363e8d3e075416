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
#include "cipher/block_reader.h"
#include "cipher/document_lines.h"

namespace mus {

// The Argon2id costs a block stores: passes, and the memory as log2 of KiB.
struct Costs {
    std::uint8_t passes = 0;
    std::uint8_t memoryLog2 = 0;
    friend bool operator==(const Costs&, const Costs&) = default;
};

inline constexpr Costs kDefaultCosts{3, 16}; // 3 passes over 64 MiB
// The bounds a reader keeps to before it derives a key: at least 1 pass over
// 8 KiB (what the tests use), at most 3 passes over 256 MiB.
inline constexpr Costs kMinimumCosts{1, 3};
inline constexpr Costs kHighestCosts{3, 18};

constexpr bool WithinReaderBounds(Costs costs) noexcept
{
    return costs.passes >= kMinimumCosts.passes && costs.passes <= kHighestCosts.passes &&
           costs.memoryLog2 >= kMinimumCosts.memoryLog2 && costs.memoryLog2 <= kHighestCosts.memoryLog2;
}

inline constexpr std::uint8_t kSuite = 1; // Argon2id v1.3, BLAKE2b subkeys, XChaCha20-Poly1305
inline constexpr std::size_t kSaltSize = 16;
inline constexpr std::size_t kNonceSize = 24;
inline constexpr std::size_t kCheckSize = 4;
inline constexpr std::size_t kKeySize = 32;
inline constexpr std::size_t kTagSize = 16;
// Suite, costs, salt, nonce and check: the bytes before the sealed text.
inline constexpr std::size_t kPreambleSize = 3 + kSaltSize + kNonceSize + kCheckSize;
inline constexpr std::int32_t kMethod02PhraseLimit = 64; // bytes of folded UTF-8

using Salt = std::array<std::uint8_t, kSaltSize>;
using Nonce = std::array<std::uint8_t, kNonceSize>;
using PhraseCheck = std::array<std::uint8_t, kCheckSize>;

// The key and the phrase check derived from one phrase, salt and costs. It
// stays at its address (locked in memory where the system allows it) and is
// wiped when it goes.
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
    const PhraseCheck& Check() const noexcept { return secret_.check; }
    // Compares in constant time.
    bool Matches(const PhraseCheck& stored) const noexcept;
    std::span<const std::uint8_t, kKeySize> AeadKey() const noexcept { return secret_.key; }

private:
    void Derive(std::string_view phrase);

    struct Secret {
        std::array<std::uint8_t, kKeySize> key;
        PhraseCheck check;
    };
    Salt salt_{};
    Costs costs_{};
    Secret secret_{};
    bool locked_ = false;
};

// Writes the block of `text` (1..kMaxTextLength bytes) sealed under `key`,
// from the START line to the END line, with a fresh random nonce.
void WriteMethod02Block(std::string_view text, const SealingKey& key, const LineSink& sink);
// The same with the nonce given (known answers, fuzzing).
void WriteMethod02Block(std::string_view text, const SealingKey& key, const Nonce& nonce, const LineSink& sink);

// Writes the block of `text` under `method`, as Encrypt does: Method 02
// seals it under a key derived from `phrase` at `costs`, left in `key` for
// the check that follows, and wipes the phrase once the key exists; Methods
// 00 and 01 encode it with the phrase.
void WriteBlock(std::string_view text, std::string& phrase, const MethodInfo& method, Costs costs,
                std::optional<SealingKey>& key, const LineSink& sink);

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

// Asks for phrases until one's key passes the block's check, with
// prompt.Working() around each derivation. The key in `key`, or the refusal:
// PhraseCancelled, or Damaged when a check fails while the CRC value differs
// (a damaged salt or check looks like a wrong phrase). An empty phrase, or
// one over 64 bytes, is a wrong phrase and costs no derivation.
std::optional<Refusal> FindKey(const SealedBlock& block, PhrasePrompt& prompt, std::optional<SealingKey>& key);

// The whole text (L bytes, zero bytes included), or nothing when the block
// fails authentication; no byte of an unauthenticated text is kept.
std::optional<std::string> OpenSealedBlock(const SealedBlock& block, const SealingKey& key);

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

// Called at the start of every key derivation; tests watch derivations
// through it. An empty function stops watching.
void SetDerivationObserver(std::function<void()> observer);

} // namespace mus
