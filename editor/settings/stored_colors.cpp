#include "editor/settings/stored_colors.h"

#include <optional>

namespace mus {

namespace {

struct PaletteColor {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The palette colour that stands for each system colour index.
std::optional<PaletteColor> PaletteColorOf(std::int32_t index)
{
    constexpr auto A = QPalette::Active;
    switch (index) {
    case kScrollBarIndex: return PaletteColor{A, QPalette::Button};
    case kDesktopIndex: return PaletteColor{A, QPalette::Dark};
    case kActiveCaptionIndex: return PaletteColor{A, QPalette::Highlight};
    case kInactiveCaptionIndex: return PaletteColor{QPalette::Inactive, QPalette::Mid};
    case kMenuIndex: return PaletteColor{A, QPalette::Window};
    case kWindowIndex: return PaletteColor{A, QPalette::Base};
    case kWindowFrameIndex: return PaletteColor{A, QPalette::Shadow};
    case kMenuTextIndex: return PaletteColor{A, QPalette::WindowText};
    case kWindowTextIndex: return PaletteColor{A, QPalette::Text};
    case kCaptionTextIndex: return PaletteColor{A, QPalette::HighlightedText};
    case kActiveBorderIndex: return PaletteColor{A, QPalette::Button};
    case kInactiveBorderIndex: return PaletteColor{QPalette::Inactive, QPalette::Button};
    case kAppWorkspaceIndex: return PaletteColor{A, QPalette::Mid};
    case kHighlightIndex: return PaletteColor{A, QPalette::Highlight};
    case kHighlightTextIndex: return PaletteColor{A, QPalette::HighlightedText};
    case kButtonFaceIndex: return PaletteColor{A, QPalette::Button};
    case kButtonShadowIndex: return PaletteColor{A, QPalette::Dark};
    case kGrayTextIndex: return PaletteColor{QPalette::Disabled, QPalette::Text};
    case kButtonTextIndex: return PaletteColor{A, QPalette::ButtonText};
    case kInactiveCaptionTextIndex: return PaletteColor{QPalette::Inactive, QPalette::WindowText};
    case kButtonHighlightIndex: return PaletteColor{A, QPalette::Light};
    case kDarkShadowIndex: return PaletteColor{A, QPalette::Shadow};
    case kLightIndex: return PaletteColor{A, QPalette::Midlight};
    case kInfoTextIndex: return PaletteColor{A, QPalette::ToolTipText};
    case kInfoBackgroundIndex: return PaletteColor{A, QPalette::ToolTipBase};
    case kHotLightIndex: return PaletteColor{A, QPalette::Link};
    case kGradientActiveCaptionIndex: return PaletteColor{A, QPalette::Highlight};
    case kGradientInactiveCaptionIndex: return PaletteColor{QPalette::Inactive, QPalette::Mid};
    case kMenuHighlightIndex: return PaletteColor{A, QPalette::Highlight};
    case kMenuBarIndex: return PaletteColor{A, QPalette::Window};
    default: return std::nullopt;
    }
}

} // namespace

QColor ColorFromValue(std::int32_t value, const QPalette& palette)
{
    if (IsSystemColor(value)) {
        auto pc = PaletteColorOf(value & 0xFF);
        return pc ? palette.color(pc->group, pc->role) : QColor(Qt::black);
    }
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

std::int32_t ValueFromColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16);
}

QColor ShownTextColor(std::int32_t text, std::int32_t back, const QPalette& palette)
{
    if (text == kColorBlack && IsSystemColor(back)) return palette.color(QPalette::Active, QPalette::Text);
    return ColorFromValue(text, palette);
}

} // namespace mus
