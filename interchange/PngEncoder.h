#pragma once
// PNG files of blend maps, written directly: Qt's writer spent about 100 ms on one 16-bit colour
// map of a 1920 x 1080 window, where rows that repeat cost almost nothing here. QImage reads them.

#include <QByteArray>
#include <QImage>

namespace trivel {

// Grayscale8, Grayscale16, RGB888 and RGBX64 pictures as 8- or 16-bit grey or RGB PNG files;
// every row filtered against the one above, deflated at the fastest level. Other formats are
// converted to RGB888 first.
QByteArray EncodePng(const QImage& image);

} // namespace trivel
