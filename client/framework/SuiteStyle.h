#pragma once

#include <QProxyStyle>

// The suite's style: the platform's, with two changes a user can see.
// - The control that holds the keyboard focus is always framed in the highlight colour. The
//   default style frames a focused one-line edit but not a focused list, multi-line field or
//   flat tool button, so a user moving by Tab lost sight of where the keys go.
// - A disabled command's icon is faded, not only greyed: the toolbar's icons are drawn in greys,
//   and greyed alone a disabled printer looked as ready as the commands beside it.
class SuiteStyle : public QProxyStyle
{
    Q_OBJECT

public:
    SuiteStyle();

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    QPixmap generatedIconPixmap(QIcon::Mode mode, const QPixmap& pixmap,
                                const QStyleOption* option) const override;
    void polish(QWidget* widget) override;
    void unpolish(QWidget* widget) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

protected:
    // Repaints a scrolled control's frame as the focus comes and goes (it repaints only its
    // contents by itself).
    bool eventFilter(QObject* watched, QEvent* event) override;
};
