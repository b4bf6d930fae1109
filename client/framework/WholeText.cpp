#include "WholeText.h"

#include <QLayout>
#include <QLineEdit>
#include <QStyle>
#include <algorithm>

namespace {

constexpr char LaidOutWidth[] = "fasLaidOutWidth";

// The width `widget` was laid out with, remembered on first use.
int laidOutWidth(QWidget& widget)
{
    if (!widget.property(LaidOutWidth).isValid())
        widget.setProperty(LaidOutWidth, widget.minimumWidth());
    return widget.property(LaidOutWidth).toInt();
}

void fitToText(QLineEdit& edit)
{
    const int frame = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit);
    const QMargins margins = edit.textMargins();
    // QLineEdit keeps two pixels on each side of the text inside its frame; one more for the
    // cursor.
    const int needed = edit.fontMetrics().horizontalAdvance(edit.text()) + 2 * frame +
                       margins.left() + margins.right() + 2 * 2 + 1;
    const int width = std::max(laidOutWidth(edit), needed);
    edit.setMinimumWidth(width);
    edit.setMaximumWidth(width);
    edit.setCursorPosition(0);

    QWidget& window = *edit.window();
    const int windowWidth = laidOutWidth(window);
    if (window.layout() && window.minimumWidth() == window.maximumWidth()) {
        window.layout()->invalidate();
        window.setFixedWidth(std::max(windowWidth, window.layout()->minimumSize().width()));
    }
}

} // namespace

void KeepWholeTextShown(QLineEdit& edit)
{
    QObject::connect(&edit, &QLineEdit::textChanged, &edit, [&edit] { fitToText(edit); });
    fitToText(edit);
}
