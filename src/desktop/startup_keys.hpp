#pragma once

namespace vantrell::desktop {

struct HeldKeys {
  bool f7 = false;  // forget the practice and the root data directory
  bool f8 = false;  // forget the practice opened last
};

// Watches the keyboard for a moment while the program starts: F7 or F8 held
// down then resets the stored paths. A small window takes the keys, since
// keys held before a program has a window reach no program.
HeldKeys watchStartupKeys(int milliseconds);

}  // namespace vantrell::desktop
