#pragma once
// The stored colours (color_value.h) as the editor shows them on the
// desktop's palette.

#include <QColor>
#include <QPalette>

#include <cstdint>

#include "editor/settings/color_value.h"

namespace mus {

// The colour `value` shows on `palette`. A system colour takes the index from
// its low byte; an index without a palette colour shows black.
QColor ColorFromValue(std::int32_t value, const QPalette& palette);

// The RGB value of `color` (its alpha is dropped).
std::int32_t ValueFromColor(const QColor& color);

// The colour the editor shows for the text colour `text` on the background
// `back`. The default black text on a system-colour background shows the
// palette's text colour instead, so a dark desktop theme never gets black
// text on its dark editor background; any other pair shows as stored.
QColor ShownTextColor(std::int32_t text, std::int32_t back, const QPalette& palette);

} // namespace mus
