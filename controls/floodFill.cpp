#include "floodFill.h"

#include <vector>

int FloodFill(QImage &image, QPoint seed, QRgb target, QRgb fill)
{
    if (!image.rect().contains(seed) || target == fill || image.pixel(seed) != target) {
        return 0;
    }
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32) {
        image.convertTo(QImage::Format_ARGB32);
    }
    // Explicit stack: recursion depth would grow with the area.
    std::vector<QPoint> pending {seed};
    int changed = 0;
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        if (!image.rect().contains(p) || image.pixel(p) != target) {
            continue;
        }
        image.setPixel(p, fill);
        ++changed;
        pending.push_back({p.x() + 1, p.y()});
        pending.push_back({p.x() - 1, p.y()});
        pending.push_back({p.x(), p.y() + 1});
        pending.push_back({p.x(), p.y() - 1});
    }
    return changed;
}
