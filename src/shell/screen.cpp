#include "shell/screen.h"

namespace korvane {

bool DesktopTooNarrow(int desktopWidth) {
    return desktopWidth < kMinimumDesktopWidth;
}

ScreenPoint SplashPosition(int desktopRight, int desktopBottom) {
    return {desktopRight / 2 - kSplashWidth / 2, desktopBottom / 2 - 99};
}

ScreenPoint MainWindowPosition(int desktopRight, int desktopBottom) {
    if (desktopRight < 810)
        return {0, 0};
    return {desktopRight / 2 - kMainWindowWidth / 2, desktopBottom / 2 - kMainWindowHeight / 2};
}

} // namespace korvane
