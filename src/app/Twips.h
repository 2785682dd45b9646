#pragma once

// The window's layout is given in twips; 15 twips make one pixel (1440 per inch at 96 dpi).

#include <QtGlobal>

namespace glimrow {

constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return (twips >= 0 ? twips + kTwipsPerPixel / 2 : twips - kTwipsPerPixel / 2) / kTwipsPerPixel;
}

constexpr int pixelsToTwips(int pixels)
{
    return pixels * kTwipsPerPixel;
}

} // namespace glimrow
