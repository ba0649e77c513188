#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>

// Recolours the 4-connected area of colour `target` that contains `seed` with `fill`.
// Nothing happens when the seed lies outside the image or is not of the target colour.
// Returns the number of pixels changed.
int FloodFill(QImage &image, QPoint seed, QRgb target, QRgb fill);
