#pragma once
// The settings file MUS.INI: one per user, section "Murmurscript", lines of
// the form key=value. Reading never creates the file; writing keeps every
// other section, key, comment and blank line as it was (a UTF-8 byte-order
// mark at its start too) and replaces the file in one step, so it is never
// left half written.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "editor/settings/color_value.h"

namespace mus {

inline constexpr char kSettingsFileName[] = "MUS.INI";
inline constexpr char kSettingsSection[] = "Murmurscript";

// The keys, in the order in which they are written.
inline constexpr char kKeyFontName[] = "FontName";
inline constexpr char kKeyFontSize[] = "FontSize";
inline constexpr char kKeyFontColor[] = "FontColor";
inline constexpr char kKeyFontBold[] = "FontBold";
inline constexpr char kKeyFontItalic[] = "FontItalic";
inline constexpr char kKeyWordWrap[] = "WordWrap";
inline constexpr char kKeyBackColor[] = "BackColor";

// Two keys read at start and never written, so a first run still leaves only
// the seven keys above: how many seconds decrypted text the program put on
// the clipboard stays there, and how many seconds without input decrypted
// text stays on screen (0: for ever).
inline constexpr char kKeyClipboardClearSeconds[] = "ClipboardClearSeconds";
inline constexpr char kKeyHideAfterIdleSeconds[] = "HideAfterIdleSeconds";

// A text value is read up to this many characters.
inline constexpr int kMaxSettingLength = 1023;

// A stored background of this value is ignored on reading.
inline constexpr std::int32_t kIgnoredBackColor = -6;

// A stored integer: decimal with an optional sign; hexadecimal after "$";
// hexadecimal after "0x" or "0X" when the text is longer than two characters.
// Hexadecimal values are 32-bit patterns ("$80000005" is -2147483643).
// Anything else, and a value outside 32 bits, is not an integer.
std::optional<std::int32_t> ParseSettingInteger(QStringView text);

class SettingsStore {
public:
    // "MUS.INI" in the folder "Murmurscript" of the user's configuration
    // directory ($XDG_CONFIG_HOME, else ~/.config).
    static QString DefaultPath();

    // Reads the file once if it exists; a missing or unreadable file reads as
    // empty. Nothing is created.
    explicit SettingsStore(QString path = DefaultPath());

    const QString& Path() const { return path_; }

    // The value of `key` in section "Murmurscript" (names compare without
    // regard to case, the first of equal names counts), trimmed of blanks,
    // with one pair of enclosing quotes removed; nullopt when the section or
    // the key is missing.
    std::optional<QString> ReadValue(const QString& key) const;

    // The same value as the bytes the file holds, for a reader with rules of
    // its own on length and encoding.
    std::optional<QByteArray> ReadBytes(const QString& key) const;

    // The value as text, up to kMaxSettingLength characters, or `fallback`.
    QString ReadString(const QString& key, const QString& fallback) const;

    // The value as an integer, or `fallback` when missing or not an integer.
    std::int32_t ReadInteger(const QString& key, std::int32_t fallback) const;

    // Sets every key to its text, in one replacement of the whole file: a key
    // that exists is changed where it stands, a new key is added at the end
    // of the section (the section at the end of the file when it is missing).
    // The file as it is on disk at this moment is the base; what this object
    // read earlier is refreshed. A symbolic link is written through to its
    // target. Throws Failure("Unable to write to MUS.INI") when the file
    // cannot be read or replaced; the old file then stays as it was.
    // Before the values are set, every key of the section for which `remove`
    // holds is taken out, so a key both removed and set moves to the end.
    using KeyFilter = std::function<bool(const QString& key)>;
    void Write(const QList<std::pair<QString, QString>>& values, const KeyFilter& remove = {});

private:
    QString path_;
    QByteArray content_;
};

// The appearance as it is stored.
struct AppearanceSettings {
    QString fontName = QStringLiteral("Fixedsys");
    std::int32_t fontSize = 10;
    std::int32_t fontColor = kColorBlack;
    bool fontBold = false;
    bool fontItalic = false;
    bool wordWrap = false;
    std::int32_t backColor = kSystemWindowColor;

    friend bool operator==(const AppearanceSettings&, const AppearanceSettings&) = default;
};

// Reads the keys in their order over `current`: a missing or unreadable key
// keeps the current value, an empty FontName keeps the face, a non-zero
// FontBold or FontItalic adds the style, a non-zero WordWrap toggles word
// wrap once, and a BackColor of -6 is ignored.
AppearanceSettings ReadAppearance(const SettingsStore& store, AppearanceSettings current);

// The seven keys with their values, in their order.
QList<std::pair<QString, QString>> AppearanceValues(const AppearanceSettings& appearance);

// Writes all seven keys in their order, in one replacement of the file.
void WriteAppearance(SettingsStore& store, const AppearanceSettings& appearance);

// How long decrypted text may stay on the clipboard and on screen, in
// seconds; 0 is for ever.
struct ForgetDelays {
    std::int32_t clipboardClearSeconds = 30;
    std::int32_t hideAfterIdleSeconds = 600;

    friend bool operator==(const ForgetDelays&, const ForgetDelays&) = default;
};

// The two keys; a missing, unreadable or negative value gives the default.
ForgetDelays ReadForgetDelays(const SettingsStore& store);

} // namespace mus
