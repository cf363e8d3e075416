#pragma once
// The reader page this build ships: murmurscript-reader.html, compiled in as
// a resource when the build makes it, and its SHA-256, for the About box and
// the help.

#include <QByteArray>
#include <QString>

namespace mus {

// The page, or nothing in a build without it.
QByteArray ReaderPage();
bool ReaderPageShipped();
// The page's SHA-256 in lower-case hexadecimal, empty without the page.
QString ReaderPageDigest();

inline constexpr char kReaderPageName[] = "murmurscript-reader.html";

} // namespace mus
