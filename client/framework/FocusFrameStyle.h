#pragma once

#include <QProxyStyle>

// The suite's style: the platform's, with the control that holds the keyboard focus always
// framed in the highlight colour. The default style frames a focused edit but not a focused
// list or a flat tool button, so a user moving by Tab lost sight of where the keys go.
class FocusFrameStyle : public QProxyStyle
{
    Q_OBJECT

public:
    FocusFrameStyle();

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};
