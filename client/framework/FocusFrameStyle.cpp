#include "FocusFrameStyle.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOption>

namespace {

void drawFocusFrame(QPainter& painter, const QRect& rect, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(palette.color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(1, 1, -1, -1));
    painter.restore();
}

} // namespace

FocusFrameStyle::FocusFrameStyle() : QProxyStyle() {}

void FocusFrameStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                         QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control == CC_ToolButton && (option->state & State_HasFocus))
        drawFocusFrame(*painter, option->rect, option->palette);
}

void FocusFrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                    QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    // A list's frame: drawn by the list itself, which repaints it as the focus comes and goes.
    if (element == PE_Frame && qobject_cast<const QAbstractItemView*>(widget) && widget->hasFocus())
        drawFocusFrame(*painter, option->rect, option->palette);
}
