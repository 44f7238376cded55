#pragma once

namespace autoframe {

// Where a stored pixel (p, q) is shown: x = a·p + c·q, y = b·p + d·q, moved so that the picture
// starts at (0, 0). Each entry is −1, 0 or 1: quarter turns and mirrors only.
struct Orientation {
    int a = 1, b = 0, c = 0, d = 1;

    bool isIdentity() const { return a == 1 && b == 0 && c == 0 && d == 1; }
    bool swapsSides() const { return a == 0; }
};

}  // namespace autoframe
