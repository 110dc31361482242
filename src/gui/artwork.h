#pragma once

#include <QImage>

namespace korvane::gui {

// The program's pictures are drawn in code so that they stay sharp, need no
// image files beside the executable and share one palette.

inline constexpr int kButtonPictureCount = 5;
inline constexpr int kButtonPictureSize = 80;

// Pictures for the tool buttons at the left of the main window, in order:
// 0 server page header, 1 verify local file to site, 2 verify local folder to
// site, 3 check site, 4 link extraction (all links). An index outside 0..4
// gives the bare button face. Opaque, kButtonPictureSize square.
QImage ButtonPicture(int index, bool pressed);

// Calm paper behind the session log; black and dark-red text stay readable on
// it. 494 x 279, opaque, meant to be stretched over the log area.
QImage LogBackground();

// The Korvane badge and name, 85 x 53, opaque. Its background matches the
// bottom edge of LogBackground() so it can sit just under the log.
QImage Logo();

// Start-up picture, 400 x 198, RGB32. Pixels outside the card are exactly
// pure blue (0, 0, 255), the colour the splash window treats as transparent;
// no pixel of the card itself has that value.
QImage SplashPicture();

// The badge alone on a transparent background, size x size (16..256 intended;
// smaller sizes drop detail that would turn to mush).
QImage ApplicationIcon(int size);

} // namespace korvane::gui
