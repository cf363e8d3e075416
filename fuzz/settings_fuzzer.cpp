// Any settings file is read; the seven keys written over it read back as
// written, and a second write leaves the file as the first left it.
//
// Input: one byte n, then n % 48 bytes of the face name, then 13 bytes of the
// other values, then the file's content.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include "common/failure.h"
#include "editor/settings/settings_store.h"

namespace {

const QString& FilePath()
{
    static const QString path = [] {
        // In memory where there is such a folder: every write syncs the file.
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        std::string folder = base.toStdString() + "/mus-fuzz-settings-XXXXXX";
        if (::mkdtemp(folder.data()) == nullptr) std::abort();
        return QString::fromStdString(folder) + QStringLiteral("/MUS.INI");
    }();
    return path;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) std::abort();
    return file.readAll();
}

std::int32_t Int32(const std::uint8_t* p)
{
    std::uint32_t v = 0;
    std::memcpy(&v, p, sizeof v);
    return static_cast<std::int32_t>(v);
}

// A face name as the font dialog could give one: no control characters.
bool CouldBeAFaceName(const QString& name)
{
    if (name.isEmpty()) return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::size_t nameLength = data[0] % 48;
    if (size < 1 + nameLength + 13) return 0;
    const std::uint8_t* values = data + 1 + nameLength;

    mus::AppearanceSettings written;
    written.fontName = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(nameLength));
    written.fontSize = Int32(values);
    written.fontColor = Int32(values + 4);
    written.backColor = Int32(values + 8);
    written.fontBold = values[12] & 1;
    written.fontItalic = values[12] & 2;
    written.wordWrap = values[12] & 4;
    // -6 is never applied, so it cannot read back.
    if (!CouldBeAFaceName(written.fontName) || written.backColor == mus::kIgnoredBackColor) return 0;

    const QString& path = FilePath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        const auto* content = reinterpret_cast<const char*>(values + 13);
        file.write(content, qint64(size - (1 + nameLength + 13)));
    }

    // Any content reads.
    const mus::SettingsStore hostile{path};
    (void)mus::ReadAppearance(hostile, mus::AppearanceSettings{});

    mus::SettingsStore store{path};
    try {
        mus::WriteAppearance(store, written);
    } catch (const mus::Failure&) {
        std::abort();
    }
    if (mus::ReadAppearance(mus::SettingsStore{path}, mus::AppearanceSettings{}) != written) std::abort();

    const QByteArray first = ReadFile(path);
    mus::SettingsStore again{path};
    mus::WriteAppearance(again, written);
    if (ReadFile(path) != first) std::abort();
    return 0;
}
