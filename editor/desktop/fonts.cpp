#include "editor/desktop/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace mus {

namespace {

// Qt tries a missing face's substitutes in order, skipping those that are
// not installed either, and falls back on the font's kind (fixed pitch for
// the editor) when none is: so the lists are installed as they are, without
// asking the font database, which would have to be built for it first.
void Substitute(const char* face, const QStringList& candidates)
{
    QStringList names;
    for (const QString& c : candidates) {
        if (!c.isEmpty() && !names.contains(c)) names << c;
    }
    QFont::insertSubstitutions(QString::fromLatin1(face), names);
}

} // namespace

void InstallFontSubstitutes()
{
    // The desktop's own choices come first (the theme names them without a
    // look at the installed fonts); then common faces of the same kind.
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    const QString ui = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    Substitute(kEditorFace,
               {fixed, QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                QStringLiteral("Noto Sans Mono"), QStringLiteral("Noto Mono"), QStringLiteral("Monospace")});
    Substitute(kPanelFace, {ui, QStringLiteral("DejaVu Sans")});
    Substitute(kAboutFace, {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), ui});
    Substitute(kTitleFace,
               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif"), QStringLiteral("Serif")});
}

QFont DesignFontPoints(const char* face, int points)
{
    QFont font(QString::fromLatin1(face));
    font.setPointSize(points);
    return font;
}

QFont DesignFontPixels(const char* face, int pixels)
{
    QFont font(QString::fromLatin1(face));
    font.setPixelSize(pixels);
    return font;
}

} // namespace mus
