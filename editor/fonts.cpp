#include "editor/fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace mus {

namespace {

void Substitute(const QString& face, const QStringList& candidates)
{
    if (QFontDatabase::hasFamily(face)) return;
    QStringList present;
    for (const QString& c : candidates) {
        if (!c.isEmpty() && !present.contains(c) && QFontDatabase::hasFamily(c)) present << c;
    }
    if (!present.isEmpty()) QFont::insertSubstitutions(face, present);
}

QStringList FixedPitchFamilies()
{
    QStringList out;
    const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    out << system.family() << QFontInfo(system).family();
    out << QStringLiteral("DejaVu Sans Mono") << QStringLiteral("Liberation Mono")
        << QStringLiteral("Noto Mono") << QStringLiteral("Monospace");
    QStringList fixed;
    for (const QString& f : out) {
        if (QFontDatabase::isFixedPitch(f)) fixed << f;
    }
    return fixed;
}

} // namespace

void InstallFontSubstitutes()
{
    Substitute(QString::fromLatin1(kEditorFace), FixedPitchFamilies());
    const QFont ui = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    Substitute(QString::fromLatin1(kPanelFace), {ui.family(), QFontInfo(ui).family(), QStringLiteral("DejaVu Sans")});
    Substitute(QString::fromLatin1(kAboutFace),
               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), ui.family()});
    Substitute(QString::fromLatin1(kTitleFace),
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
