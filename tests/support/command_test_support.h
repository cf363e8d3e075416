#pragma once
// Helpers shared by the command tests and benchmarks.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include <unistd.h>

#include "cipher/armoured_block.h"
#include "cipher/commands/transfer_file.h"
#include "cipher/method02.h"

namespace mus::fake {

// The document an Encrypt of `text` leaves: the block's lines, each ended by CR LF.
inline std::string BlockDocument(std::string_view text, std::string_view phrase = {}, std::int32_t method = 1)
{
    std::string document;
    WriteArmouredBlock(text, phrase, method, [&](std::string_view line) { document.append(line).append("\r\n"); });
    return document;
}

// The document a Method 02 Encrypt of `text` leaves, at the least costs.
inline std::string SealedDocument(std::string_view text, std::string_view phrase)
{
    const SealingKey key(phrase, kMinimumCosts);
    std::string document;
    WriteMethod02Block(text, key, [&](std::string_view line) { document.append(line).append("\r\n"); });
    return document;
}

// The largest text Encrypt takes: 22528 bytes of lines of prose.
inline std::string LargestText()
{
    std::string text;
    while (text.size() < static_cast<std::size_t>(kMaxTextLength)) {
        text += "The quick brown fox jumps over the lazy dog.\r\n";
    }
    text.resize(static_cast<std::size_t>(kMaxTextLength));
    return text;
}

// A fresh directory that is the current one for the object's lifetime.
class ScratchDirectory {
public:
    ScratchDirectory() : previous_(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "mus-commands-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path TransferPath() const { return path_ / std::string(kTransferFileName); }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// True when anything, even a dangling link, stands at `path`.
inline bool Exists(const std::filesystem::path& path)
{
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}

} // namespace mus::fake
