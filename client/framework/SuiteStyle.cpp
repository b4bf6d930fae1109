#include "SuiteStyle.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>
#include <QStyleOption>

namespace {

constexpr qreal kDisabledIconOpacity = 0.4;

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

SuiteStyle::SuiteStyle() : QProxyStyle() {}

void SuiteStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                    QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control == CC_ToolButton && (option->state & State_HasFocus))
        drawFocusFrame(*painter, option->rect, option->palette);
}

void SuiteStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    // The frame of a list or a multi-line field.
    if (element == PE_Frame && qobject_cast<const QAbstractScrollArea*>(widget) &&
        widget->hasFocus())
        drawFocusFrame(*painter, option->rect, option->palette);
}

QPixmap SuiteStyle::generatedIconPixmap(QIcon::Mode mode, const QPixmap& pixmap,
                                        const QStyleOption* option) const
{
    QPixmap generated = QProxyStyle::generatedIconPixmap(mode, pixmap, option);
    if (mode != QIcon::Disabled || generated.isNull())
        return generated;
    QPixmap faded(generated.size());
    faded.setDevicePixelRatio(generated.devicePixelRatio());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(kDisabledIconOpacity);
    painter.drawPixmap(0, 0, generated);
    return faded;
}

void SuiteStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    if (qobject_cast<QAbstractScrollArea*>(widget))
        widget->installEventFilter(this);
}

void SuiteStyle::unpolish(QWidget* widget)
{
    if (qobject_cast<QAbstractScrollArea*>(widget))
        widget->removeEventFilter(this);
    QProxyStyle::unpolish(widget);
}

bool SuiteStyle::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        static_cast<QWidget*>(watched)->update();
    return QProxyStyle::eventFilter(watched, event);
}
