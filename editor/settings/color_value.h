#pragma once
// Colours as the settings store them: a signed 32-bit value that is either an
// RGB colour 0x00BBGGRR (red in the low byte) or, when negative, a system
// colour 0x80000000 + index, which stands for a colour of the desktop's palette.
// Plain integers: the settings file needs no graphics library to hold them.

#include <cstdint>

namespace mus {

// Indices of the system colours this program gives a palette colour.
enum SystemColorIndex : std::int32_t {
    kScrollBarIndex = 0,
    kDesktopIndex = 1,
    kActiveCaptionIndex = 2,
    kInactiveCaptionIndex = 3,
    kMenuIndex = 4,
    kWindowIndex = 5, // the background of text fields
    kWindowFrameIndex = 6,
    kMenuTextIndex = 7,
    kWindowTextIndex = 8, // the text in text fields
    kCaptionTextIndex = 9,
    kActiveBorderIndex = 10,
    kInactiveBorderIndex = 11,
    kAppWorkspaceIndex = 12,
    kHighlightIndex = 13,
    kHighlightTextIndex = 14,
    kButtonFaceIndex = 15,
    kButtonShadowIndex = 16,
    kGrayTextIndex = 17,
    kButtonTextIndex = 18,
    kInactiveCaptionTextIndex = 19,
    kButtonHighlightIndex = 20,
    kDarkShadowIndex = 21,
    kLightIndex = 22,
    kInfoTextIndex = 23,
    kInfoBackgroundIndex = 24,
    kHotLightIndex = 26,
    kGradientActiveCaptionIndex = 27,
    kGradientInactiveCaptionIndex = 28,
    kMenuHighlightIndex = 29,
    kMenuBarIndex = 30,
};

inline constexpr std::int32_t kColorBlack = 0;
inline constexpr std::int32_t kSystemColorFlag = std::int32_t(0x80000000u);
// The background of text fields: the editor's background until the user
// chooses another.
inline constexpr std::int32_t kSystemWindowColor = kSystemColorFlag + kWindowIndex; // -2147483643

constexpr bool IsSystemColor(std::int32_t value)
{
    return value < 0;
}

} // namespace mus
