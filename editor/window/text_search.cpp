#include "editor/window/text_search.h"

#include <algorithm>

namespace mus {

namespace {

bool IsWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == u'_';
}

// The match at `pos` does not cut a word in two.
bool IsWholeWord(QStringView text, QStringView needle, qsizetype pos)
{
    const qsizetype end = pos + needle.size();
    if (IsWordCharacter(needle.front()) && pos > 0 && IsWordCharacter(text[pos - 1])) return false;
    if (IsWordCharacter(needle.back()) && end < text.size() && IsWordCharacter(text[end])) return false;
    return true;
}

// The first (forward) or last (backward) match lying wholly within
// [lo, hi) of `text`; whole words are judged against the whole text.
qsizetype FindWithin(QStringView text, QStringView needle, qsizetype lo, qsizetype hi, SearchDirection direction,
                     SearchOptions options)
{
    const qsizetype n = needle.size();
    lo = std::clamp<qsizetype>(lo, 0, text.size());
    hi = std::clamp<qsizetype>(hi, lo, text.size());
    if (n == 0 || n > hi - lo) return -1;
    const QStringView range = text.sliced(lo, hi - lo);
    const Qt::CaseSensitivity cs = options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const auto accepted = [&](qsizetype pos) { return !options.wholeWords || IsWholeWord(text, needle, lo + pos); };
    if (direction == SearchDirection::Forward) {
        // A match that cuts a word: search on one character further.
        for (qsizetype pos = range.indexOf(needle, 0, cs); pos >= 0; pos = range.indexOf(needle, pos + 1, cs)) {
            if (accepted(pos)) return lo + pos;
        }
        return -1;
    }
    // lastIndexOf reads a negative start as counted from the end, so the
    // search stops before handing it one.
    for (qsizetype pos = range.lastIndexOf(needle, range.size() - n, cs); pos >= 0;
         pos = pos > 0 ? range.lastIndexOf(needle, pos - 1, cs) : -1) {
        if (accepted(pos)) return lo + pos;
    }
    return -1;
}

} // namespace

qsizetype FindText(QStringView text, QStringView needle, qsizetype from, SearchDirection direction,
                   SearchOptions options)
{
    return direction == SearchDirection::Forward ? FindWithin(text, needle, from, text.size(), direction, options)
                                                 : FindWithin(text, needle, 0, from, direction, options);
}

qsizetype FindTextWrapping(QStringView text, QStringView needle, qsizetype from, SearchDirection direction,
                           SearchOptions options, bool& wrapped)
{
    wrapped = false;
    qsizetype pos = FindText(text, needle, from, direction, options);
    if (pos >= 0) return pos;
    // The second search covers only what the first did not, so a search that
    // finds nothing reads the text once.
    const qsizetype n = needle.size();
    pos = direction == SearchDirection::Forward
              ? FindWithin(text, needle, 0, from + n - 1, direction, options)
              : FindWithin(text, needle, from - n + 1, text.size(), direction, options);
    wrapped = pos >= 0;
    return pos;
}

} // namespace mus
