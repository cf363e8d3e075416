#pragma once
// Finding a piece of text in the editor's text, as Find, Find Next, Find
// Previous and Replace do: with or without regard to letter case, anywhere
// or as a whole word only. The text is the editor's raw text, whose indexes
// are the editor's cursor positions (a paragraph separator between lines).

#include <QStringView>

namespace mus {

struct SearchOptions {
    bool matchCase = false;
    // A match may not begin or end inside a word: where the searched text
    // begins (or ends) with a letter, a digit or '_', the character before
    // (after) the match must not be one.
    bool wholeWords = false;
};

enum class SearchDirection { Forward, Backward };

// The match of `needle` in `text` nearest to `from`: searching forward, the
// first that begins at or after `from`; backward, the last that ends at or
// before `from`. -1 when there is none, or when `needle` is empty.
qsizetype FindText(QStringView text, QStringView needle, qsizetype from, SearchDirection direction,
                   SearchOptions options);

// The same, going on from the other end of the text when the search meets
// its end: forward, a match beginning before `from`; backward, one ending
// after it. `wrapped` tells whether the match was found that way.
qsizetype FindTextWrapping(QStringView text, QStringView needle, qsizetype from, SearchDirection direction,
                           SearchOptions options, bool& wrapped);

} // namespace mus
