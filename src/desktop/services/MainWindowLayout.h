#pragma once

#include <string_view>

namespace tarnleaf {

// The main window as the desktop backends build it: caption, fixed control layout in twips
// (1/1440 inch; the backends convert them with the screen's dots per inch), font, tab order,
// icon. Nothing moves or resizes at run time.
namespace form_layout {

inline constexpr std::string_view kCaption = "Tarnleaf - Verion 0.1b";
inline constexpr int kClientWidth = 5820;
inline constexpr int kClientHeight = 4800;

// The program's icon: one 32 x 32 image, resource number 101 under Windows.
inline constexpr int kIconResource = 101;

struct Control {
    std::string_view caption;
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
};

// The log view: multi-line, vertical scroll bar only (long lines wrap), read-only for the
// user but selectable and copyable, empty at start.
inline constexpr Control kLogView{"", 120, 120, 5535, 4095, 0};
// A fixed-pitch 9-point font; this face where the platform has it, else its own
// fixed-pitch font that shows Japanese text.
inline constexpr std::string_view kLogViewFontFace = "ＭＳ ゴシック";
inline constexpr int kLogViewFontPoints = 9;

inline constexpr Control kTestButton{"Send Test Message", 2040, 4320, 1695, 375, 1};
inline constexpr Control kCancelButton{"Minimize To Tray", 3960, 4320, 1695, 375, 2};
inline constexpr Control kEditButton{"Edit Config", 120, 4320, 1695, 375, 3};

}  // namespace form_layout
}  // namespace tarnleaf
