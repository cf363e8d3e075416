#pragma once
// Asking for a phrase on the controlling terminal with echo off.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace mus::cli {

class Terminal {
public:
    // The controlling terminal, or nothing when the process has none.
    static std::unique_ptr<Terminal> Open();
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Shows `prompt`, reads one line without echoing it and returns it without
    // its line break; nothing when the input ends first (the user cancelled).
    std::optional<std::string> AskHidden(std::string_view prompt);

private:
    explicit Terminal(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace mus::cli
