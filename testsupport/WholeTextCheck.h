#pragma once

#include <QLineEdit>
#include <QStyle>

// True when an edit shows its whole text, from the first character, inside its window.
inline bool ShowsWholeText(const QLineEdit& edit)
{
    const int frame = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit);
    const int room = edit.width() - 2 * frame - 4; // QLineEdit's own two pixels a side
    const int right = edit.mapTo(edit.window(), QPoint(edit.width(), 0)).x();
    return edit.cursorPosition() == 0 &&
           room >= edit.fontMetrics().horizontalAdvance(edit.text()) &&
           right <= edit.window()->width();
}
