#pragma once
// Built-in source pictures of the output preview.

#include <QImage>
#include <QString>

namespace trivel {

// "grid": a numbered 16 x 16 grid on the warp grid's lines with circles, to judge geometry;
// "ramp": grey ramps across and down, to judge blends.
QImage PreviewTestPattern(const QString& name, int width, int height);
bool IsPreviewTestPattern(const QString& name);

// A pattern name, or an image file (empty image and message when it cannot be read).
QImage LoadPreviewSource(const QString& nameOrFile, int width, int height, QString* message = nullptr);

} // namespace trivel
