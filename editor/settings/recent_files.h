#pragma once
// The list of files recently opened or saved, most recent first, kept in the
// settings file as Recent1, Recent2, ... The key RecentFiles says how many
// the list keeps; it is read at start and never written.

#include <QString>
#include <QStringList>

#include "editor/settings/settings_store.h"

namespace mus {

inline constexpr char kKeyRecentFiles[] = "RecentFiles";
inline constexpr char kRecentKeyPrefix[] = "Recent";
// How many files the list keeps when RecentFiles is missing or unreadable.
inline constexpr int kDefaultRecentFiles = 8;
// The most it keeps: one access key per entry, "&1" to "&9".
inline constexpr int kMostRecentFiles = 9;
// The longest path the list takes, in bytes of UTF-8 (the system's own limit).
inline constexpr int kLongestRecentPath = 4096;

class RecentFiles {
public:
    // A list keeping up to `limit` files (0: none).
    explicit RecentFiles(int limit = kDefaultRecentFiles);

    int Limit() const { return limit_; }
    const QStringList& Paths() const { return paths_; }

    // Puts `path` (made absolute) at the top, once; the oldest entry past the
    // limit goes. A path the settings file cannot hold on one line is not
    // kept: one with a line break, or longer than kLongestRecentPath bytes.
    void Add(const QString& path);
    void Remove(const QString& path);
    void Clear() { paths_.clear(); }

    // The key of entry `index` (from 0): "Recent1" for the first.
    static QString Key(int index);

private:
    int limit_;
    QStringList paths_;
};

// RecentFiles as the list uses it: missing or not an integer, the default;
// above kMostRecentFiles, kMostRecentFiles; below 0, 0.
int ReadRecentLimit(const SettingsStore& store);

// The list as stored: Recent1 to Recent<limit>, each read whole (not cut at
// the length other values are), skipping a missing key, a value that is not
// valid UTF-8, longer than kLongestRecentPath bytes or not an absolute path,
// and a repeated path.
RecentFiles ReadRecentFiles(const SettingsStore& store);

// The settings written at exit, in one replacement of the file: the seven
// appearance keys in their order, then the list's keys Recent1, Recent2, ...
// when the list is not empty. Every other key Recent<number> goes, so no
// stale entry outlives the list (all of them with an empty list).
void WriteSettings(SettingsStore& store, const AppearanceSettings& appearance, const RecentFiles& recent);

// The most characters of a folder an entry shows.
inline constexpr int kLongestShownFolder = 60;

// The caption of the submenu entry for `path` at `index` (from 0): "&1 name
// — folder", with any "&" of the path doubled so it shows as itself and a
// folder longer than kLongestShownFolder characters cut in the middle.
QString RecentEntryCaption(int index, const QString& path);

} // namespace mus
