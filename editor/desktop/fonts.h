#pragma once
// The design's font faces and what stands in for them where they are not
// installed. A font keeps its design face name ("Fixedsys", "MS Sans Serif",
// ...) as its family, so that name is what the settings store, while Qt
// draws it with a substitute face of the same kind.

#include <QFont>
#include <QString>

namespace mus {

inline constexpr char kEditorFace[] = "Fixedsys";       // fixed pitch
inline constexpr char kPanelFace[] = "MS Sans Serif";   // the desktop's UI face
inline constexpr char kAboutFace[] = "Arial";           // sans-serif
inline constexpr char kTitleFace[] = "Times New Roman"; // serif

// Registers what draws the design faces where they are missing: the
// desktop's fixed-pitch face for "Fixedsys" (never a proportional one), the
// desktop's normal UI face for "MS Sans Serif", and faces of the same kind
// for "Arial" and "Times New Roman". Builds no font database. Safe to call
// more than once.
void InstallFontSubstitutes();

// The design face in points or pixels; the face name is kept as given.
QFont DesignFontPoints(const char* face, int points);
QFont DesignFontPixels(const char* face, int pixels);

} // namespace mus
