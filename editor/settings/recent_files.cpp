#include "editor/settings/recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

namespace mus {

namespace {

bool Storable(const QString& path)
{
    return !path.contains(QLatin1Char('\n')) && !path.contains(QLatin1Char('\r')) &&
           path.toUtf8().size() <= kLongestRecentPath;
}

// "Recent" and a number, in any letter case.
bool IsRecentKey(const QString& key)
{
    static const QRegularExpression pattern(QStringLiteral("^recent[0-9]+$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(key).hasMatch();
}

QString ShownAsItself(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// A long folder shown by its start and its end, so the menu stays narrow;
// the entry's tooltip has the whole path.
QString ShortFolder(const QString& folder)
{
    if (folder.size() <= kLongestShownFolder) return folder;
    const qsizetype head = kLongestShownFolder / 3;
    return folder.left(head) + QChar(0x2026) + folder.right(kLongestShownFolder - head - 1);
}

} // namespace

RecentFiles::RecentFiles(int limit) : limit_(std::clamp(limit, 0, kMostRecentFiles))
{
}

void RecentFiles::Add(const QString& path)
{
    if (limit_ == 0 || path.isEmpty()) return;
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!Storable(absolute)) return;
    paths_.removeAll(absolute);
    paths_.prepend(absolute);
    while (paths_.size() > limit_) paths_.removeLast();
}

void RecentFiles::Remove(const QString& path)
{
    paths_.removeAll(path);
}

QString RecentFiles::Key(int index)
{
    return QLatin1String(kRecentKeyPrefix) + QString::number(index + 1);
}

int ReadRecentLimit(const SettingsStore& store)
{
    return std::clamp(store.ReadInteger(kKeyRecentFiles, kDefaultRecentFiles), 0, kMostRecentFiles);
}

RecentFiles ReadRecentFiles(const SettingsStore& store)
{
    RecentFiles recent(ReadRecentLimit(store));
    QStringList paths;
    for (int i = 0; i < recent.Limit(); ++i) {
        const auto bytes = store.ReadBytes(RecentFiles::Key(i));
        if (!bytes || bytes->size() > kLongestRecentPath) continue;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString path = utf8(*bytes);
        if (utf8.hasError() || !QDir::isAbsolutePath(path) || paths.contains(path)) continue;
        paths << path;
    }
    // Added oldest first, so the first stays at the top.
    for (auto it = paths.crbegin(); it != paths.crend(); ++it) recent.Add(*it);
    return recent;
}

void WriteSettings(SettingsStore& store, const AppearanceSettings& appearance, const RecentFiles& recent)
{
    QList<std::pair<QString, QString>> values = AppearanceValues(appearance);
    for (int i = 0; i < recent.Paths().size(); ++i) values.append({RecentFiles::Key(i), recent.Paths()[i]});
    // The list's keys are taken out too and written anew after the others:
    // they stand in their order after BackColor whatever the file held.
    store.Write(values, IsRecentKey);
}

QString RecentEntryCaption(int index, const QString& path)
{
    const QFileInfo file(path);
    return QStringLiteral("&%1 %2 \u2014 %3")
        .arg(index + 1)
        .arg(ShownAsItself(file.fileName()), ShownAsItself(ShortFolder(QDir::toNativeSeparators(file.absolutePath()))));
}

} // namespace mus
