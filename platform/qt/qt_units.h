// Conversion between twips, the unit of all geometry above platform/, and device-independent
// pixels of the primary screen.
#pragma once

namespace kv::qt {

// Twips per pixel of the primary screen: 1440 / logical DPI (15 at 96 DPI).
double twipsPerPixel();
inline int twipsToPx(double twips) {
  double v = twips / twipsPerPixel();
  return static_cast<int>(v < 0 ? v - 0.5 : v + 0.5);
}
inline double pxToTwips(double px) {
  return px * twipsPerPixel();
}

}  // namespace kv::qt
