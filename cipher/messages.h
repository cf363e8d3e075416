#pragma once
// The texts the cipher commands show, exactly as the user sees them.

#include <string_view>

namespace mus::msg {

// Encrypt
inline constexpr std::string_view kNoTextToEncrypt = "There is no text to encrypt.";
inline constexpr std::string_view kTextTooLong = "The amount of text to encrypt cannot exceed 22kb.";
inline constexpr std::string_view kAlreadyEncrypted =
    "This text is already encrypted.  Are you sure you want to encrypt it again?";
inline constexpr std::string_view kPhrasesDoNotMatch = "The phrases entered do not match.";
inline constexpr std::string_view kPromptPhrase = "Enter a phrase to password-protect (if desired):";
inline constexpr std::string_view kPromptConfirm = "Re-enter phrase to confirm:";
// The first prompt for a method that needs a phrase.
inline constexpr std::string_view kPromptPhraseRequired = "Enter a phrase to password-protect:";
inline constexpr std::string_view kPhraseRequired = "A phrase is required to encrypt with Method 02.";
// Asked when a new phrase is easy to guess; No asks for the phrase anew.
inline constexpr std::string_view kWeakPhrase = "This phrase is easy to guess.  Use it anyway?";

// Decrypt
inline constexpr std::string_view kNoTextToDecrypt = "There is no text to decrypt.";
inline constexpr std::string_view kNoHeaderAndFooter =
    "The header and footer lines are not present.  This text does not appear to be encrypted.";
inline constexpr std::string_view kInvalidHeader = "The header line is not valid.  Unable to decrypt this text.";
// Followed by the formatted version and ".".
inline constexpr std::string_view kUnsupportedMethodPrefix =
    "Cannot handle the encryption method used to encrypt this text.  Try using Murmurscript version ";
inline constexpr std::string_view kPromptProtected = "This text is password-protected.  Enter phrase:";
inline constexpr std::string_view kPhraseMismatch =
    "The phrase given does not match the phrase used to password-protect the text.";
inline constexpr std::string_view kCrcMissing =
    "CRC information was not present in the encrypted text.  Unable to verify that the encrypted text was error-free.";
inline constexpr std::string_view kCrcError = "CRC error.  Errors were present in the encrypted text.";
inline constexpr std::string_view kEndedEarly =
    "The encrypted text has terminated unexpectedly.  The decrypted text is incomplete and possibly contains errors.";
// Followed by the repair items and ".": the box after a repaired block's text.
inline constexpr std::string_view kRepairedPrefix = "The block was repaired before decrypting: ";
inline constexpr std::string_view kDamaged =
    "The encrypted text is damaged or was altered.  Unable to decrypt this text.";

} // namespace mus::msg
