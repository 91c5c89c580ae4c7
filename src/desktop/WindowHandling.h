#pragma once

class IWindowHost;

namespace desktop {

// Moves the window as if its title bar had been pressed, with whichever button is held: the
// press arguments are taken but not read.
void StartWindowDrag(IWindowHost* form, int button, int shift, int x, int y);

// The layout's sizes count the window's outer size, frame included. We add the classic frame
// (borders and title bar, in twips) to the client area, so the controls sit the same way on
// every desktop whatever its own decoration; the values keep the minimum sizes on whole pixels.
constexpr int kFrameWidth = 125;
constexpr int kFrameHeight = 410;
constexpr int kMinWindowHeight = 4400;
constexpr int kMinWindowWidth = 3200;

}  // namespace desktop
