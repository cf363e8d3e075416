#pragma once
// Pass phrases: how typed text becomes the phrase bytes of a block.

#include <string>
#include <string_view>

namespace mus {

// Folds a UTF-8 phrase to upper case: ASCII a-z become A-Z and the Latin-1
// letters U+00E0..U+00FE (except U+00F7) become U+00C0..U+00DE. Everything
// else is left as it is. The same function serves the editor and `mus`, so a
// phrase means the same bytes everywhere.
std::string FoldPhrase(std::string_view utf8);

} // namespace mus
