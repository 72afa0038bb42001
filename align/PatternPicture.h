#pragma once
// The patterns as pictures of a window's frame, for a pattern source that is not the box (a
// full-screen window of the tool on a screen of the PC): a mask stream drawn as the box's mask
// preview draws it over a black source, and the box's test grid.

#include "align/AlignPorts.h"

#include <QImage>

namespace trivel::align {

// RGB32, width x height: the stream's picture at its offsets, its pixels of the shown value in
// its colour, and with the background flag the rest of the frame in that colour too. A stream
// that does not decode gives a black frame.
QImage MaskPatternPicture(const MaskBytes& stream, int width, int height);

// RGB32, width x height: white lines of the grid on black (lines every spacing pixels, lineWidth
// wide, starting (lineWidth - 1) / 2 pixels before their position).
QImage GridPatternPicture(int width, int height, const GridSpec& grid);

} // namespace trivel::align
