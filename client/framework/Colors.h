#pragma once

#include <QColor>

// The named colours that the screens store and compare (the range state of the filter's date
// edits is the background colour of the edits).
inline const QColor clWindow{0xFF, 0xFF, 0xFF};
inline const QColor clInfoBk{0xFF, 0xFF, 0xE1};
inline const QColor clBtnFace{0xF0, 0xF0, 0xF0};
inline const QColor clBlue{0x00, 0x00, 0xFF};
inline const QColor clWindowText{0x00, 0x00, 0x00};
inline const QColor clInactiveCaptionText{0x80, 0x80, 0x80};
