#pragma once

#include "colortable.h"
#include "ninepiece.h"

#include <QPen>
#include <QPoint>
#include <QStyle>

class QImage;
class QPainter;
class QRect;

// Painting helpers of the style. They know nothing of widgets or options: a painter, a
// rectangle (inclusive corners, as QRect keeps them) and images or colours.
namespace Painting
{

// Which of the six button looks a set of state flags shows.
ButtonImageState buttonImageState(QStyle::State state);

// A one-pixel pen that stays one pixel under any transformation.
QPen cosmeticPen(const QColor& colour);

// One row per pixel line, from colour top at rect.top() to bottom at rect.bottom(): the value
// (HSV) runs from top's to bottom's while hue and saturation stay top's. Each row runs from
// rect.left() to rect.right() + 1, one column past the rectangle. Nothing is drawn for a
// rectangle less than two rows high or whose right edge lies more than one column left of its
// left edge.
void drawVerticalGradient(QPainter* painter, const QRect& rect, const QColor& top, const QColor& bottom);

// The same gradient in the one column x, from row topRow to row bottomRow.
void drawGradientColumn(QPainter* painter, int x, int topRow, int bottomRow, const QColor& top,
                        const QColor& bottom);

// The vertical gradient inside a border of width `border`, then the eight border pieces of
// `pieces` scaled onto it (the centre piece is not used).
void drawFramedGradient(QPainter* painter, const QRect& rect, int border, const NinePiece& pieces,
                        const QColor& top, const QColor& bottom);

// The centre piece (when it is not null) scaled inside the border, then the eight border
// pieces.
void drawNinePiece(QPainter* painter, const QRect& rect, int border, const NinePiece& pieces);

// The eight border pieces alone.
void drawBorderPieces(QPainter* painter, const QRect& rect, int border, const NinePiece& pieces);

// A one-pixel outline in colorFrame with an inner top and left line in colorFrameShadow.
void drawSunkenFrame(QPainter* painter, const QRect& rect);

// The keyboard-focus mark: one line down each side in colorFocus, none across.
void drawFocusIndicator(QPainter* painter, const QRect& rect);

// Where an arrow image sits in the rectangle of its element.
enum class ArrowPlacement
{
    UpDown,    // up, down and drop-down arrows
    LeftRight, // left and right arrows
    Spin       // the small spin-box arrows
};

QPoint arrowPosition(ArrowPlacement placement, const QRect& rect);
void drawArrow(QPainter* painter, const QRect& rect, ArrowPlacement placement, const QImage& arrow);

// A slider handle in the colours of one button look, line by line; its inside is left as it
// is. The grip runs across the handle: down for a horizontal slider, along for a vertical one.
void drawSliderHandle(QPainter* painter, const QRect& handle, const HandleColors& colours, bool horizontal);

// One-pixel line or point in a colour, leaving the painter's pen as it was.
void drawLine(QPainter* painter, const QPoint& from, const QPoint& to, const QColor& colour);
void drawPoint(QPainter* painter, const QPoint& point, const QColor& colour);

} // namespace Painting
