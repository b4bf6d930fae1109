#include "BrushCopy.h"

#include <QImage>
#include <QPainter>

void BrushCopy(QPainter& canvas, const QRect& dest, const QPixmap& bitmap, const QRect& source,
               const QColor& transparent)
{
    // Both rectangles are the same size; only what both the bitmap and the destination hold
    // is copied.
    const QRect part =
        source.intersected(bitmap.rect()).intersected(QRect(source.topLeft(), dest.size()));
    if (part.isEmpty())
        return;
    QImage image = bitmap.copy(part).toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent.rgb() | 0xFF000000u;
    const QRgb fill = canvas.brush().color().rgba();
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == key)
                line[x] = fill;
        }
    }
    canvas.drawImage(dest.topLeft() + (part.topLeft() - source.topLeft()), image);
}
