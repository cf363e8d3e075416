#include "editor/settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <vector>

#include "common/failure.h"

namespace mus {

namespace {

// One line of the file: its text and the line break that ended it (empty on
// a last line without one).
struct IniLine {
    QByteArray text;
    QByteArray eol;
};

// The UTF-8 byte-order mark an editor may put at the start of the file.
const QByteArray kByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

// The file's lines, after a byte-order mark at its start.
std::vector<IniLine> SplitLines(const QByteArray& content)
{
    std::vector<IniLine> lines;
    qsizetype start = content.startsWith(kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (start < content.size()) {
        qsizetype lf = content.indexOf('\n', start);
        if (lf < 0) {
            lines.push_back({content.mid(start), {}});
            break;
        }
        qsizetype end = lf;
        if (end > start && content[end - 1] == '\r') --end;
        lines.push_back({content.mid(start, end - start), content.mid(end, lf + 1 - end)});
        start = lf + 1;
    }
    return lines;
}

bool SameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The name of a section line "[name]", or nullopt for any other line.
std::optional<QByteArray> SectionName(const QByteArray& line)
{
    QByteArray t = line.trimmed();
    if (!t.startsWith('[')) return std::nullopt;
    qsizetype close = t.indexOf(']');
    return t.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

// The key of a line "key=value" (not a comment), or nullopt.
std::optional<QByteArray> KeyName(const QByteArray& line)
{
    QByteArray t = line.trimmed();
    if (t.startsWith(';') || t.startsWith('#')) return std::nullopt;
    qsizetype eq = t.indexOf('=');
    if (eq <= 0) return std::nullopt;
    return t.left(eq).trimmed();
}

// The range [first, last) of the lines that belong to the first section
// `name`, after its section line; nullopt when there is no such section.
std::optional<std::pair<std::size_t, std::size_t>> FindSection(const std::vector<IniLine>& lines,
                                                               const QByteArray& name)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto section = SectionName(lines[i].text);
        if (!section || !SameName(*section, name)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end].text)) ++end;
        return std::pair{i + 1, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<IniLine>& lines, std::size_t first, std::size_t last,
                                   const QByteArray& key)
{
    for (std::size_t i = first; i < last; ++i) {
        auto name = KeyName(lines[i].text);
        if (name && SameName(*name, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ParseDigits(QStringView digits, int base)
{
    if (digits.isEmpty()) return std::nullopt;
    bool ok = false;
    qulonglong v = digits.toULongLong(&ok, base);
    if (!ok) return std::nullopt;
    for (QChar c : digits) { // toULongLong also takes blanks and a sign
        if (!c.isDigit() && !(base == 16 && QStringView(u"abcdefABCDEF").contains(c))) return std::nullopt;
    }
    if (v > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

// A value as it is written so that it reads back as it is: between double
// quotes, which reading removes, when it begins or ends with a blank or is
// enclosed in quotes itself.
QByteArray StoredValue(const QString& value)
{
    QByteArray text = value.toUtf8();
    text.replace('\r', ' ').replace('\n', ' '); // one line per key
    const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
                        text.back() == text.front();
    if (quoted || text != text.trimmed()) return '"' + text + '"';
    return text;
}

[[noreturn]] void ThrowUnableToWrite()
{
    throw Failure(std::string("Unable to write to ") + kSettingsFileName);
}

} // namespace

std::optional<std::int32_t> ParseSettingInteger(QStringView text)
{
    if (text.startsWith(u'$')) {
        auto v = ParseDigits(text.mid(1), 16);
        if (!v) return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }
    if (text.size() > 2 && (text.startsWith(u"0x") || text.startsWith(u"0X"))) {
        auto v = ParseDigits(text.mid(2), 16);
        if (!v) return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }
    bool negative = text.startsWith(u'-');
    QStringView digits = (negative || text.startsWith(u'+')) ? text.mid(1) : text;
    auto v = ParseDigits(digits, 10);
    if (!v) return std::nullopt;
    const std::int64_t value = negative ? -std::int64_t(*v) : std::int64_t(*v);
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

QString SettingsStore::DefaultPath()
{
    // GenericConfigLocation is $XDG_CONFIG_HOME, or ~/.config when unset.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Murmurscript/") +
           QLatin1String(kSettingsFileName);
}

SettingsStore::SettingsStore(QString path) : path_(std::move(path))
{
    QFile file(path_);
    if (file.open(QIODevice::ReadOnly)) content_ = file.readAll();
}

std::optional<QByteArray> SettingsStore::ReadBytes(const QString& key) const
{
    const std::vector<IniLine> lines = SplitLines(content_);
    auto section = FindSection(lines, kSettingsSection);
    if (!section) return std::nullopt;
    auto index = FindKey(lines, section->first, section->second, key.toUtf8());
    if (!index) return std::nullopt;
    const QByteArray& line = lines[*index].text;
    QByteArray value = line.mid(line.indexOf('=') + 1).trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

std::optional<QString> SettingsStore::ReadValue(const QString& key) const
{
    auto bytes = ReadBytes(key);
    if (!bytes) return std::nullopt;
    return QString::fromUtf8(*bytes);
}

QString SettingsStore::ReadString(const QString& key, const QString& fallback) const
{
    auto value = ReadValue(key);
    return value ? value->left(kMaxSettingLength) : fallback;
}

std::int32_t SettingsStore::ReadInteger(const QString& key, std::int32_t fallback) const
{
    auto value = ReadValue(key);
    if (!value) return fallback;
    return ParseSettingInteger(*value).value_or(fallback);
}

void SettingsStore::Write(const QList<std::pair<QString, QString>>& values, const KeyFilter& remove)
{
    // Start from the file as it is now, so nothing another program wrote to
    // it since it was read gets lost.
    QByteArray content;
    QFile current(path_);
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly)) ThrowUnableToWrite();
        content = current.readAll();
        current.close();
    }

    std::vector<IniLine> lines = SplitLines(content);
    QByteArray eol = "\n";
    for (const IniLine& line : lines) {
        if (!line.eol.isEmpty()) {
            eol = line.eol;
            break;
        }
    }
    if (!lines.empty() && lines.back().eol.isEmpty()) lines.back().eol = eol;

    auto section = FindSection(lines, kSettingsSection);
    if (!section) {
        lines.push_back({QByteArray("[") + kSettingsSection + "]", eol});
        section = std::pair{lines.size(), lines.size()};
    }
    auto [first, last] = *section;
    if (remove) {
        for (std::size_t i = last; i-- > first;) {
            auto name = KeyName(lines[i].text);
            if (!name || !remove(QString::fromUtf8(*name))) continue;
            lines.erase(lines.begin() + std::ptrdiff_t(i));
            --last;
        }
    }
    // New keys follow the last line of the section that is not blank.
    std::size_t insertAt = last;
    while (insertAt > first && lines[insertAt - 1].text.trimmed().isEmpty()) --insertAt;

    for (const auto& [key, value] : values) {
        const QByteArray line = key.toUtf8() + '=' + StoredValue(value);
        if (auto index = FindKey(lines, first, last, key.toUtf8())) {
            lines[*index].text = line;
        } else {
            lines.insert(lines.begin() + std::ptrdiff_t(insertAt), IniLine{line, eol});
            ++insertAt;
            ++last;
        }
    }

    QByteArray out = content.startsWith(kByteOrderMark) ? kByteOrderMark : QByteArray();
    for (const IniLine& line : lines) out += line.text + line.eol;

    // The folder may be missing on the first run.
    if (!QDir().mkpath(QFileInfo(path_).absolutePath())) ThrowUnableToWrite();
    // QSaveFile writes a temporary file next to the target (a symbolic link
    // is followed to its target) and renames it over the old file only when
    // every byte was written: all keys change at once or none does.
    QSaveFile file(path_);
    // The flush is checked on its own: commit() misses one that wrote only
    // part of the buffer (a full disk).
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.flush() || !file.commit())
        ThrowUnableToWrite();
    content_ = out;
}

AppearanceSettings ReadAppearance(const SettingsStore& store, AppearanceSettings current)
{
    AppearanceSettings a = current;
    QString name = store.ReadString(kKeyFontName, current.fontName);
    if (!name.isEmpty()) a.fontName = name;
    a.fontSize = store.ReadInteger(kKeyFontSize, current.fontSize);
    a.fontColor = store.ReadInteger(kKeyFontColor, current.fontColor);
    if (store.ReadInteger(kKeyFontBold, 0) != 0) a.fontBold = true;
    if (store.ReadInteger(kKeyFontItalic, 0) != 0) a.fontItalic = true;
    if (store.ReadInteger(kKeyWordWrap, 0) != 0) a.wordWrap = !current.wordWrap;
    std::int32_t back = store.ReadInteger(kKeyBackColor, current.backColor);
    if (back != kIgnoredBackColor) a.backColor = back;
    return a;
}

QList<std::pair<QString, QString>> AppearanceValues(const AppearanceSettings& a)
{
    auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return {
        {kKeyFontName, a.fontName},
        {kKeyFontSize, QString::number(a.fontSize)},
        {kKeyFontColor, QString::number(a.fontColor)},
        {kKeyFontBold, flag(a.fontBold)},
        {kKeyFontItalic, flag(a.fontItalic)},
        {kKeyWordWrap, flag(a.wordWrap)},
        {kKeyBackColor, QString::number(a.backColor)},
    };
}

void WriteAppearance(SettingsStore& store, const AppearanceSettings& a)
{
    store.Write(AppearanceValues(a));
}

ForgetDelays ReadForgetDelays(const SettingsStore& store)
{
    const auto seconds = [&store](const char* key, std::int32_t fallback) {
        const std::int32_t value = store.ReadInteger(key, fallback);
        return value < 0 ? fallback : value;
    };
    const ForgetDelays defaults;
    return {seconds(kKeyClipboardClearSeconds, defaults.clipboardClearSeconds),
            seconds(kKeyHideAfterIdleSeconds, defaults.hideAfterIdleSeconds)};
}

} // namespace mus
