#include "cipher/method02.h"

#include <sodium.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include "cipher/codec_detail.h"
#include "cipher/errors.h"
#include "cipher/phrase.h"

namespace mus {

namespace {

constexpr char kContext[crypto_kdf_CONTEXTBYTES + 1] = "Method02";
constexpr std::uint64_t kAeadKeyId = 1;
constexpr std::uint64_t kCheckKeyId = 2;
constexpr std::size_t kCheckKeySize = 16; // the shortest subkey; its first 4 bytes are the check
constexpr std::uint8_t kPadByte = 0x20;
constexpr std::size_t kFirstGroup = 1; // 0-based: after the "C"

// Offsets of the body bytes.
constexpr std::size_t kSuiteAt = 0;
constexpr std::size_t kPassesAt = 1;
constexpr std::size_t kMemoryAt = 2;
constexpr std::size_t kSaltAt = 3;
constexpr std::size_t kNonceAt = kSaltAt + kSaltSize;
constexpr std::size_t kCheckAt = kNonceAt + kNonceSize;

static_assert(kCheckAt + kCheckSize == kPreambleSize);
static_assert(kSaltSize == crypto_pwhash_SALTBYTES && kKeySize == crypto_kdf_KEYBYTES);
static_assert(kKeySize == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);
static_assert(kNonceSize == crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
static_assert(kTagSize == crypto_aead_xchacha20poly1305_ietf_ABYTES);
static_assert(kCheckKeySize >= crypto_kdf_BYTES_MIN);

std::function<void()>& Observer()
{
    static std::function<void()> observer;
    return observer;
}

const Suite& SuiteOf(std::uint8_t code)
{
    const Suite* suite = FindSuite(code);
    if (suite == nullptr) throw std::invalid_argument("Method 02 has no such suite");
    return *suite;
}

std::size_t MemoryBytes(Costs costs)
{
    return std::size_t{1024} << costs.memoryLog2;
}

// The header line as the writer writes it, then the body bytes before the
// sealed text: what the tag authenticates besides the text.
std::string AssociatedData(const Suite& suite, std::size_t textLength, const std::uint8_t* preamble)
{
    std::string data = detail::HeaderLine(suite.version, kMethod02, 1, textLength);
    data.append(reinterpret_cast<const char*>(preamble), kPreambleSize);
    return data;
}

// Hands out `bytes` (a whole number of groups) as body lines of up to 16
// Method 01 groups; the CRC value over every group.
std::int32_t WriteGroups(const std::vector<std::uint8_t>& bytes, const LineSink& sink)
{
    detail::BodyLines body(sink);
    std::int64_t crc = 0;
    // A line's worth of groups at a time.
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t count = std::min(body.Free(), (bytes.size() - at) / 3);
        char* out = body.Next();
        for (std::size_t i = 0; i < count; ++i, at += 3, out += 4) {
            const std::uint8_t b1 = bytes[at], b2 = bytes[at + 1], b3 = bytes[at + 2];
            detail::Encode(b1, b2, b3, detail::kMethod01Pairs, out);
            crc = (crc + b1 + 2 * b2 + 3 * b3) % kCrcModulus;
        }
        body.Wrote(count);
    }
    body.Finish();
    return static_cast<std::int32_t>(crc);
}

// The group at `four` when all four characters are of the Method 01 alphabet.
std::optional<Triple> StrictGroup(const char* four)
{
    for (int i = 0; i < 4; ++i)
        if (detail::kMethod01Values.of[static_cast<std::uint8_t>(four[i])] < 0) return std::nullopt;
    return detail::GroupBytes(detail::GroupValue(four, detail::kMethod01Values));
}

// Reads the body's groups strictly, up to `count` bytes and the pad bytes
// of the last group: false when the body ends first (a line too short for
// its next group, or the CRC line reached), a character is outside the
// alphabet or a pad byte is not a blank.
bool ReadStrictBytes(const DocumentLines& lines, const BlockHeader& header, std::size_t count,
                     std::vector<std::uint8_t>& bytes, std::int32_t& crc)
{
    bytes.clear();
    bytes.reserve(count + 2);
    std::int64_t crc64 = 0;
    std::int32_t lineIndex = header.headerLine + 1;
    std::size_t position = kFirstGroup;
    while (bytes.size() < count) {
        if (lineIndex >= header.crcLine) return false;
        const std::string_view line = lines.Line(lineIndex);
        if (line.size() < position + 4) return false;
        const std::optional<Triple> group = StrictGroup(line.data() + position);
        if (!group) return false;
        crc64 = (crc64 + (*group)[0] + 2 * (*group)[1] + 3 * (*group)[2]) % kCrcModulus;
        for (const std::uint8_t b : *group) {
            if (bytes.size() < count) bytes.push_back(b);
            else if (b != kPadByte) return false;
        }
        position += 4;
        if (position >= static_cast<std::size_t>(kBodyLineLength)) {
            position = kFirstGroup;
            ++lineIndex;
        }
    }
    crc = static_cast<std::int32_t>(crc64);
    return true;
}

} // namespace

// ------------------------------------------------------------------ key

SealingKey::SealingKey(std::string_view phrase, const Salt& salt, Costs costs) : salt_(salt), costs_(costs)
{
    Derive(phrase);
}

SealingKey::SealingKey(std::string_view phrase, Costs costs) : costs_(costs)
{
    ReadySodium();
    randombytes_buf(salt_.data(), salt_.size());
    Derive(phrase);
}

SealingKey::~SealingKey() = default;

void SealingKey::Derive(std::string_view phrase)
{
    if (phrase.size() > static_cast<std::size_t>(kMethod02PhraseLimit))
        throw std::invalid_argument("a Method 02 phrase holds at most 64 bytes");
    if (!WithinReaderBounds(costs_)) throw std::invalid_argument("the key derivation costs are out of bounds");
    ReadySodium();
    if (Observer()) Observer()();

    SecretBuffer master(crypto_kdf_KEYBYTES);
    if (crypto_pwhash(master.Data(), master.Size(), phrase.data(), phrase.size(), salt_.data(), costs_.passes,
                      MemoryBytes(costs_), crypto_pwhash_ALG_ARGON2ID13) != 0) {
        throw Failure("Out of memory");
    }
    SecretBuffer checkKey(kCheckKeySize);
    crypto_kdf_derive_from_key(secret_.Data(), kKeySize, kAeadKeyId, kContext, master.Data());
    crypto_kdf_derive_from_key(checkKey.Data(), checkKey.Size(), kCheckKeyId, kContext, master.Data());
    std::copy_n(checkKey.Data(), kCheckSize, secret_.Data() + kKeySize);
}

bool SealingKey::Matches(const PhraseCheck& stored) const noexcept
{
    return sodium_memcmp(stored.data(), Check().data(), kCheckSize) == 0;
}

// --------------------------------------------------------------- writer

std::uint8_t SuiteFor(std::string_view entered, std::size_t textSize)
{
    if (textSize > static_cast<std::size_t>(kMaxTextLength)) return kSuite2;
    std::string earlier = mus::FoldPhrase(entered), folded = FoldPhraseFully(entered);
    const bool same = earlier == folded;
    Wipe(earlier);
    Wipe(folded);
    return same ? kSuite1 : kSuite2;
}

void WriteMethod02Block(std::string_view text, const SealingKey& key, const LineSink& sink, std::uint8_t suite)
{
    ReadySodium();
    Nonce nonce;
    randombytes_buf(nonce.data(), nonce.size());
    WriteMethod02Block(text, key, nonce, sink, suite);
}

void WriteMethod02Block(std::string_view text, const SealingKey& key, const Nonce& nonce, const LineSink& sink,
                        std::uint8_t suiteCode)
{
    const Suite& suite = SuiteOf(suiteCode);
    if (text.empty() || text.size() > static_cast<std::size_t>(suite.textLimit))
        throw std::invalid_argument("the text is empty or too long for the suite");

    const std::size_t size = kPreambleSize + text.size() + kTagSize;
    std::vector<std::uint8_t> bytes(size + (3 - size % 3) % 3, kPadByte);
    bytes[kSuiteAt] = suite.code;
    bytes[kPassesAt] = key.KeyCosts().passes;
    bytes[kMemoryAt] = key.KeyCosts().memoryLog2;
    std::copy(key.KeySalt().begin(), key.KeySalt().end(), bytes.begin() + kSaltAt);
    std::copy(nonce.begin(), nonce.end(), bytes.begin() + kNonceAt);
    std::copy(key.Check().begin(), key.Check().end(), bytes.begin() + kCheckAt);

    const std::string data = AssociatedData(suite, text.size(), bytes.data());
    unsigned long long sealedSize = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        bytes.data() + kPreambleSize, &sealedSize, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
        reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), nullptr, nonce.data(), key.AeadKey().data());

    sink(kStartLine);
    sink(detail::HeaderLine(suite.version, kMethod02, 1, text.size()));
    const std::int32_t crc = WriteGroups(bytes, sink);
    sink(detail::CrcLine(crc));
    sink(kEndLine);
}

// --------------------------------------------------------------- reader

SealedRead ReadSealedBlock(const DocumentLines& lines, const BlockHeader& header, std::uint8_t highestSuite)
{
    SealedRead read;
    read.refusal = Refusal::Damaged;

    // The suite first: a later writer's suite names the version to use.
    const std::int32_t firstBody = header.headerLine + 1;
    const std::string_view first = firstBody < header.crcLine ? lines.Line(firstBody) : std::string_view{};
    if (first.size() < kFirstGroup + 4) return read;
    const std::optional<Triple> opening = StrictGroup(first.data() + kFirstGroup);
    if (!opening) return read;
    const Suite* suite = FindSuite((*opening)[kSuiteAt], highestSuite);
    if (suite == nullptr) {
        if (header.version > ReadNumber(FindSuite(highestSuite)->version)) read.refusal = Refusal::UnsupportedMethod;
        return read;
    }
    // The header line in its one form: the version of the suite, method 02,
    // phrase field 1 and the text length within the suite's limit, each
    // written as the writer writes it.
    const Costs costs{(*opening)[kPassesAt], (*opening)[kMemoryAt]};
    if (header.textLength < 1 || header.textLength > suite->textLimit || !WithinReaderBounds(costs) ||
        lines.Line(header.headerLine) !=
            detail::HeaderLine(suite->version, kMethod02, 1, static_cast<std::size_t>(header.textLength))) {
        return read;
    }

    const std::size_t textLength = static_cast<std::size_t>(header.textLength);
    std::vector<std::uint8_t> bytes;
    std::int32_t crc = 0;
    if (!ReadStrictBytes(lines, header, kPreambleSize + textLength + kTagSize, bytes, crc)) return read;

    SealedBlock& block = read.block;
    block.suite = suite;
    block.costs = costs;
    std::copy_n(bytes.begin() + kSaltAt, kSaltSize, block.salt.begin());
    std::copy_n(bytes.begin() + kNonceAt, kNonceSize, block.nonce.begin());
    std::copy_n(bytes.begin() + kCheckAt, kCheckSize, block.check.begin());
    block.associatedData = AssociatedData(*suite, textLength, bytes.data());
    block.sealed.assign(bytes.begin() + kPreambleSize, bytes.end());
    block.crcDiffers = header.storedCrc != 0 && header.storedCrc != crc;
    read.refusal.reset();
    return read;
}

std::optional<std::string> OpenSealedBlock(const SealedBlock& block, const SealingKey& key)
{
    if (block.sealed.size() < kTagSize) return std::nullopt;
    std::string text(block.sealed.size() - kTagSize, '\0');
    unsigned long long textSize = 0;
    const int opened = crypto_aead_xchacha20poly1305_ietf_decrypt(
        reinterpret_cast<std::uint8_t*>(text.data()), &textSize, nullptr, block.sealed.data(), block.sealed.size(),
        reinterpret_cast<const std::uint8_t*>(block.associatedData.data()), block.associatedData.size(),
        block.nonce.data(), key.AeadKey().data());
    if (opened != 0) {
        Wipe(text);
        return std::nullopt;
    }
    return text;
}

// ----------------------------------------------------------------- misc

void SetDerivationObserver(std::function<void()> observer)
{
    Observer() = std::move(observer);
}

// --------------------------------------------------------------- family

namespace {

// The block sealed under one key, to compare with what was read back.
class SealedWritten final : public WrittenBlock {
public:
    explicit SealedWritten(std::unique_ptr<SealingKey> key) : key_(std::move(key)) {}

    bool DecodesTo(std::string_view block, std::string_view text) const override
    {
        const TextLines lines(block);
        const std::optional<BlockHeader> header = WholeBlockHeader(lines, kMethod02, text.size());
        if (!header) return false;
        const SealedRead read = ReadSealedBlock(lines, *header);
        if (read.refusal || read.block.crcDiffers || read.block.salt != key_->KeySalt() ||
            read.block.costs != key_->KeyCosts() || !key_->Matches(read.block.check)) {
            return false;
        }
        std::optional<std::string> opened = OpenSealedBlock(read.block, *key_);
        const bool same = opened && *opened == text;
        if (opened) Wipe(*opened);
        return same;
    }

private:
    std::unique_ptr<SealingKey> key_;
};

// The keys one run has derived, by salt, costs and folded phrase.
class SealedReading final : public FamilyReading {
public:
    explicit SealedReading(const SealedFamily& family) : family_(family) {}
    ~SealedReading() override
    {
        for (Entry& entry : keys_) Wipe(entry.phrase);
    }

    Opened Open(const DocumentLines& lines, const BlockHeader& header) override;

    const SealedFamily& Family() const { return family_; }

    // The key of `phrase` for `block`, derived only when this run has none.
    const SealingKey& KeyFor(const SealedBlock& block, const std::string& phrase, PhrasePrompt& prompt)
    {
        for (const Entry& entry : keys_)
            if (entry.salt == block.salt && entry.costs == block.costs && entry.phrase == phrase) return *entry.key;
        const PromptWorking working(prompt);
        auto key = std::make_unique<SealingKey>(phrase, block.salt, block.costs);
        keys_.push_back({block.salt, block.costs, phrase, std::move(key)});
        return *keys_.back().key;
    }

private:
    struct Entry {
        Salt salt;
        Costs costs;
        std::string phrase;
        std::unique_ptr<SealingKey> key;
    };
    const SealedFamily& family_;
    std::vector<Entry> keys_;
};

class SealedBody final : public BlockBody {
public:
    SealedBody(SealedReading& reading, SealedBlock block) : reading_(reading), block_(std::move(block)) {}
    ~SealedBody() override
    {
        if (text_) Wipe(*text_);
    }

    bool NeedsPhrase() const override { return true; }
    PhraseRule EntryRule() const override
    {
        return {.limit = kMethod02PhraseLimit,
                .folding = Folding::AfterEntry,
                .earlierFoldingFits = block_.suite->earlierFolding};
    }

    // The entry folded by FoldPhraseFully, then, for a suite that allows it,
    // by FoldPhrase when that gives other bytes (one more derivation only
    // for such a phrase).
    bool Unlock(std::string_view entered, PhrasePrompt& prompt) override
    {
        std::string folded = reading_.Family().FoldPhrase(entered);
        const ScopedWipe wipe(folded);
        if (TryPhrase(folded, prompt)) return true;
        if (!block_.suite->earlierFolding) return false;
        std::string earlier = mus::FoldPhrase(entered);
        const ScopedWipe wipeEarlier(earlier);
        return earlier != folded && TryPhrase(earlier, prompt);
    }

    // A damaged salt or check looks like a wrong phrase: while the CRC value
    // differs, the user is told that the block may be damaged too.
    bool MismatchMayBeDamage() const override { return block_.crcDiffers; }

    bool Passes(BodyCheck) override { return Open(); }

    Result Decode(const TextSink& sink, Delivery) override
    {
        Result result;
        if (!Open()) {
            result.refusal = Refusal::Damaged;
            return result;
        }
        // The editor takes a zero-terminated text: a zero byte ends it.
        std::string& text = *text_;
        text.resize(std::min(text.size(), text.find('\0')));
        if (sink) {
            sink(text);
        } else {
            result.decoded.text = text;
        }
        return result;
    }

private:
    // An empty phrase, or one over the limit, is a wrong phrase and costs no
    // derivation.
    bool TryPhrase(const std::string& phrase, PhrasePrompt& prompt)
    {
        if (phrase.empty() || phrase.size() > static_cast<std::size_t>(kMethod02PhraseLimit)) return false;
        const SealingKey& key = reading_.KeyFor(block_, phrase, prompt);
        if (!key.Matches(block_.check)) return false;
        key_ = &key;
        return true;
    }

    // Opens the sealed text once: true when it authenticated.
    bool Open()
    {
        if (!tried_ && key_ != nullptr) {
            tried_ = true;
            text_ = OpenSealedBlock(block_, *key_);
        }
        return text_.has_value();
    }

    SealedReading& reading_;
    SealedBlock block_;
    const SealingKey* key_ = nullptr;
    bool tried_ = false;
    std::optional<std::string> text_;
};

FamilyReading::Opened SealedReading::Open(const DocumentLines& lines, const BlockHeader& header)
{
    SealedRead read = ReadSealedBlock(lines, header);
    if (read.refusal) return {read.refusal, nullptr};
    return {std::nullopt, std::make_unique<SealedBody>(*this, std::move(read.block))};
}

} // namespace

// The entry keeps what was typed; the phrase is folded once it is given.
std::string SealedFamily::FoldPhrase(std::string_view entered) const
{
    return FoldPhraseFully(entered);
}

std::unique_ptr<WrittenBlock> SealedFamily::Write(std::string_view text, std::string& phrase, const MethodInfo&,
                                                  Costs costs, const LineSink& sink) const
{
    const std::uint8_t suite = SuiteFor(phrase, text.size());
    std::string folded = FoldPhrase(phrase);
    Wipe(phrase);
    auto key = std::make_unique<SealingKey>(folded, costs);
    Wipe(folded);
    WriteMethod02Block(text, *key, sink, suite);
    return std::make_unique<SealedWritten>(std::move(key));
}

std::unique_ptr<FamilyReading> SealedFamily::BeginReading(const MethodInfo&) const
{
    return std::make_unique<SealedReading>(*this);
}

const SealedFamily kSealedFamily{};

} // namespace mus
