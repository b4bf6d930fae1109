#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>

class QPainter;

// Copies the `source` part of `bitmap` onto the canvas at `dest`, unscaled, with the pixels of
// the colour `transparent` taking the canvas's current brush colour instead: the background
// the canvas was painting shows around the picture. What lies outside the bitmap is left as
// the canvas has it.
void BrushCopy(QPainter& canvas, const QRect& dest, const QPixmap& bitmap, const QRect& source,
               const QColor& transparent);
