// Font, Text Color, Background Color and Word Wrap, and the appearance
// settings read when the window is created and written when it is destroyed.
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QPlainTextEdit>

#include <algorithm>

#include "editor/settings/recent_files.h"
#include "editor/settings/settings_store.h"
#include "editor/settings/stored_colors.h"
#include "editor/window/main_window.h"

namespace {

// The font dialog's sizes.
constexpr int kMinDialogPoints = 6;
constexpr int kMaxDialogPoints = 32;
// A stored size outside this range keeps the editor's size: a size of zero
// or less is no size, and a huge one would only stall the drawing.
constexpr int kMinStoredPoints = 1;
constexpr int kMaxStoredPoints = 1000;

// The font's size in whole points; a size set in pixels counts at the
// editor's resolution (13 pixels are 10 points at 96 dots per inch).
int FontPoints(const QFont& font, const QWidget& widget)
{
    if (font.pointSizeF() > 0) return qRound(font.pointSizeF());
    return qRound(font.pixelSize() * 72.0 / widget.logicalDpiY());
}

// The desktop's colours for the editor, whatever the editor itself shows.
QPalette DesktopPalette(const QPlainTextEdit* editor)
{
    return QApplication::palette(editor);
}

// Shows a colour dialog set to `shown`; the colour the user chose, if any,
// and only when it differs from `shown`.
std::optional<QColor> ChooseColor(QColorDialog* dialog, const QColor& shown)
{
    dialog->setCurrentColor(shown);
    if (dialog->exec() != QDialog::Accepted) return std::nullopt;
    const QColor chosen = dialog->selectedColor();
    if (!chosen.isValid() || chosen.rgb() == shown.rgb()) return std::nullopt;
    return chosen;
}

// Both colour commands share the one dialog, made at its first use.
void MakeColorDialog(QColorDialog*& dialog, QWidget* parent)
{
    if (dialog != nullptr) return;
    dialog = new QColorDialog(parent);
    dialog->setObjectName(QStringLiteral("ColorDialog1"));
    dialog->setWindowTitle(QStringLiteral("Color"));
    dialog->setOption(QColorDialog::DontUseNativeDialog);
}

} // namespace

void frm_CText::ApplyColors()
{
    const QPalette desktop = DesktopPalette(txt_CText);
    // Built from the desktop's whole palette each time: a widget with a
    // palette of its own no longer follows the desktop's changes by itself.
    QPalette palette = desktop;
    palette.setColor(QPalette::Base, mus::ColorFromValue(BackColorValue, desktop));
    palette.setColor(QPalette::Text, mus::ShownTextColor(FontColorValue, BackColorValue, desktop));
    // The selection stays as visible while the editor has no focus (behind a
    // dialog, for one) as while it has.
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, desktop.color(QPalette::Active, role));
    txt_CText->setPalette(palette);
}

void frm_CText::Font1Click()
{
    if (FontDialog1 == nullptr) {
        FontDialog1 = new QFontDialog(this);
        FontDialog1->setObjectName(QStringLiteral("FontDialog1"));
        FontDialog1->setWindowTitle(QStringLiteral("Font"));
        FontDialog1->setOption(QFontDialog::DontUseNativeDialog);
    }
    const QFont current = txt_CText->font();
    // The dialog lists installed faces and their own style names only: a
    // design face such as "Fixedsys" is offered as the face drawn for it,
    // and the style by the face's name for it ("Book", not "Normal"), or the
    // dialog would select another face or its first style (often
    // "Oblique"), which OK would then apply.
    const QFontInfo drawn(current);
    const QString drawnFace = drawn.family();
    QFont offered = current;
    offered.setFamily(drawnFace);
    offered.setStyleName(drawn.styleName());
    FontDialog1->setCurrentFont(offered);
    if (FontDialog1->exec() != QDialog::Accepted) return;
    // Qt's font dialog cannot limit its sizes or hide its effects: the size
    // is kept within the dialog's range, and of the style only bold and
    // italic are taken (no underline, no strike-out, no other weight).
    const QFont chosen = FontDialog1->selectedFont();
    QFont font = current;
    // The face drawn for the design face keeps the design name.
    if (chosen.family() != drawnFace) font.setFamily(chosen.family());
    font.setStyleName(QString());
    const int points = std::clamp(FontPoints(chosen, *txt_CText), kMinDialogPoints, kMaxDialogPoints);
    // The design size is set in pixels; it is only replaced by another size.
    if (points != FontPoints(current, *txt_CText)) font.setPointSize(points);
    // Bold and italic come from the style chosen. A face without such styles
    // draws them by thickening or slanting its one style, which is all the
    // dialog can offer: keeping that offered style keeps them as they were.
    const QFont offeredStyle = QFontDatabase::font(drawnFace, drawn.styleName(), 12);
    const bool styleKept = chosen.family() == drawnFace && chosen.weight() == offeredStyle.weight() &&
                           chosen.italic() == offeredStyle.italic();
    font.setBold(styleKept ? current.bold() : chosen.bold());
    font.setItalic(styleKept ? current.italic() : chosen.italic());
    font.setUnderline(false);
    font.setStrikeOut(false);
    txt_CText->setFont(font);
}

void frm_CText::TextColor1Click()
{
    MakeColorDialog(ColorDialog1, this);
    const QPalette desktop = DesktopPalette(txt_CText);
    if (auto chosen = ChooseColor(ColorDialog1, mus::ShownTextColor(FontColorValue, BackColorValue, desktop))) {
        FontColorValue = mus::ValueFromColor(*chosen);
        ApplyColors();
    }
}

void frm_CText::BackgroundColor1Click()
{
    MakeColorDialog(ColorDialog1, this);
    const QPalette desktop = DesktopPalette(txt_CText);
    if (auto chosen = ChooseColor(ColorDialog1, mus::ColorFromValue(BackColorValue, desktop))) {
        BackColorValue = mus::ValueFromColor(*chosen);
        ApplyColors();
    }
}

void frm_CText::WordWrap1Click()
{
    WordWrap1->setChecked(!WordWrap1->isChecked());
    const bool wrap = WordWrap1->isChecked();
    txt_CText->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    txt_CText->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
}

mus::AppearanceSettings frm_CText::CurrentAppearance() const
{
    const QFont font = txt_CText->font();
    mus::AppearanceSettings a;
    a.fontName = font.family();
    a.fontSize = FontPoints(font, *txt_CText);
    a.fontColor = FontColorValue;
    a.fontBold = font.bold();
    a.fontItalic = font.italic();
    a.wordWrap = WordWrap1->isChecked();
    a.backColor = BackColorValue;
    return a;
}

void frm_CText::LoadAppearance(const mus::SettingsStore& settings)
{
    const mus::AppearanceSettings current = CurrentAppearance();
    const mus::AppearanceSettings stored = mus::ReadAppearance(settings, current);

    QFont font = txt_CText->font();
    font.setFamily(stored.fontName);
    // The design size is set in pixels; it is only replaced by another size.
    if (stored.fontSize != current.fontSize && stored.fontSize >= kMinStoredPoints &&
        stored.fontSize <= kMaxStoredPoints)
        font.setPointSize(stored.fontSize);
    font.setBold(stored.fontBold);
    font.setItalic(stored.fontItalic);
    txt_CText->setFont(font);

    FontColorValue = stored.fontColor;
    BackColorValue = stored.backColor;
    ApplyColors();
    if (stored.wordWrap != current.wordWrap) WordWrap1Click();
}

void frm_CText::SaveAppearance()
{
    // The recent list goes with the appearance, in the one write of the file.
    mus::SettingsStore store;
    mus::WriteSettings(store, CurrentAppearance(), recentFiles_);
}
