// The frame the window's controls show while they have the keyboard focus.
#pragma once

#include <QPainter>

class QPaintEvent;

namespace picbatch {

// A 1-pixel dotted blue line along the inside of area (control pixels), with corners of
// radius; drawn over whatever the control painted before.
void DrawFocusFrame(QPainter& painter, const QRectF& area, qreal radius = 0);

// A control of kind Base that draws the focus frame along its edges, over what Base paints,
// while it has the keyboard focus: for controls whose own focus cue would not show over the
// artwork (a read-only field without a frame shows no cursor; a radio button's cue goes
// round its caption, which the artwork writes).
template <class Base>
class FocusFramed : public Base {
public:
    using Base::Base;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        Base::paintEvent(event);
        if (this->hasFocus()) {
            QPainter painter(this);
            DrawFocusFrame(painter, this->rect());
        }
    }
};

}  // namespace picbatch
