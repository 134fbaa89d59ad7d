#pragma once

#include <string_view>

#include "DesktopTypes.h"

namespace tarnleaf {

// The main window as the desktop backends build it: texts, fixed control layout in twips
// (converted with the screen's twips-per-pixel factors), tab order. Nothing moves or
// resizes at run time.
namespace form_layout {

inline constexpr std::string_view kCaption = "Tarnleaf - Verion 0.1b";
inline constexpr int kClientWidth = 5820;
inline constexpr int kClientHeight = 4800;

// The program's icon: one 32 x 32 image, resource number 101 under Windows.
inline constexpr int kIconResource = 101;
inline constexpr std::string_view kTrayToolTip = "Bootp Server for Win";

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

// The pop-up menu's items, in the order it shows them; MenuItem::Exit is the default.
inline constexpr MenuItem kMenuOrder[] = {MenuItem::Config, MenuItem::Log, MenuItem::Exit};

constexpr std::string_view MenuCaption(MenuItem item) {
    switch (item) {
        case MenuItem::Config:
            return "設定";
        case MenuItem::Log:
            return "ログ";
        case MenuItem::Exit:
            return "終了";
    }
    return {};
}

}  // namespace form_layout
}  // namespace tarnleaf
