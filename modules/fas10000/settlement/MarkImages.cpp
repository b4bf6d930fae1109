#include "MarkImages.h"

#include <array>
#include <utility>

namespace {

constexpr int FrameFrom = 2;    // the frame: row 2 and column 2 ...
constexpr int FrameTo = 11;     // ... from 2 to 11
constexpr int InteriorFrom = 3; // the interior: rows and columns 3 to 11
constexpr int InteriorTo = 11;
constexpr int ShadowLine = 13; // the shadow: column 13 and row 13 ...
constexpr int ShadowFrom = 1;  // ... from 1 to 13
constexpr int ShadowTo = 13;

// The check mark, row by row: the first and last column of each run of black pixels.
struct Run
{
    int row;
    int from;
    int to;
};
constexpr std::array<Run, 9> CheckMark{{{4, 10, 10},
                                        {5, 9, 10},
                                        {6, 4, 4},
                                        {6, 8, 10},
                                        {7, 4, 5},
                                        {7, 7, 9},
                                        {8, 4, 8},
                                        {9, 5, 7},
                                        {10, 6, 6}}};

} // namespace

QImage MarkImages::box(const QColor& interior)
{
    QImage image(Size, Size, QImage::Format_RGB32);
    image.fill(background());
    for (int row = InteriorFrom; row <= InteriorTo; ++row)
        for (int column = InteriorFrom; column <= InteriorTo; ++column)
            image.setPixelColor(column, row, interior);
    for (int i = FrameFrom; i <= FrameTo; ++i) {
        image.setPixelColor(i, FrameFrom, frame()); // top
        image.setPixelColor(FrameFrom, i, frame()); // left
    }
    for (int i = ShadowFrom; i <= ShadowTo; ++i) {
        image.setPixelColor(ShadowLine, i, shadow()); // right
        image.setPixelColor(i, ShadowLine, shadow()); // bottom
    }
    return image;
}

QImage MarkImages::checkImage()
{
    QImage image = box(Qt::white);
    for (const Run& run : CheckMark)
        for (int column = run.from; column <= run.to; ++column)
            image.setPixelColor(column, run.row, frame());
    return image;
}

QImage MarkImages::unCheckImage()
{
    return box(Qt::white);
}

QImage MarkImages::noCheckImage()
{
    return box(shadow());
}
