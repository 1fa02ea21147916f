// Where the installer's dialogs go on the desktop (arithmetic only).
#pragma once

struct Placement {
    int x, y, width, height;
};

// Centred on the desktop, in the desktop's coordinates. The size is one more
// than the window's rectangle in each direction, as MoveWindow is given it.
inline Placement centredPlacement(int desktopLeft, int desktopTop, int desktopRight, int desktopBottom,
                                  int left, int top, int right, int bottom) {
    int w = right - left + 1;
    int h = bottom - top + 1;
    return Placement{desktopLeft + (desktopRight - desktopLeft - w) / 2,
                     desktopTop + (desktopBottom - desktopTop - h) / 2, w, h};
}

// The progress dialog's variant: rounded up, and relative to the desktop's
// origin whatever its left and top.
inline Placement progressPlacement(int desktopLeft, int desktopTop, int desktopRight, int desktopBottom,
                                   int left, int top, int right, int bottom) {
    int w = right - left + 1;
    int h = bottom - top + 1;
    return Placement{(desktopRight - desktopLeft - w + 1) / 2, (desktopBottom - desktopTop - h + 1) / 2,
                     w, h};
}
