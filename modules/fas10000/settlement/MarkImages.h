#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>

// The three 16 x 16 check-box images of the invoice grid's mark column, built pixel by pixel:
// a box with a black frame on the top and left, a light grey shadow line on the right and
// bottom, on an olive background that the grid's drawing treats as transparent.
class MarkImages
{
public:
    static constexpr int Size = 16;

    static QColor background() { return QColor(0x80, 0x80, 0x00); }
    static QColor frame() { return QColor(0x00, 0x00, 0x00); }
    static QColor shadow() { return QColor(0xC0, 0xC0, 0xC0); }

    static QImage checkImage();   // white box with a black check mark
    static QImage unCheckImage(); // white box, empty
    static QImage noCheckImage(); // light grey box

    static QPixmap check() { return QPixmap::fromImage(checkImage()); }
    static QPixmap unCheck() { return QPixmap::fromImage(unCheckImage()); }
    static QPixmap noCheck() { return QPixmap::fromImage(noCheckImage()); }

private:
    static QImage box(const QColor& interior);
};
