#include "painting.h"

#include <QImage>
#include <QPainter>

namespace Painting
{
namespace
{

// Indexed [pressed][enabled][hovered]: a pressed look wins over hover, and a disabled button
// never shows hover.
constexpr ButtonImageState stateTable[2][2][2] = {
    {{ButtonImageState::Disabled, ButtonImageState::Disabled},
     {ButtonImageState::Normal, ButtonImageState::Highlight}},
    {{ButtonImageState::DisabledPressed, ButtonImageState::DisabledPressed},
     {ButtonImageState::Pressed, ButtonImageState::HighlightPressed}},
};

struct PlacementRule
{
    int xOffset;
    bool centreX; // offset counts from the middle column instead of the left edge
    int yOffset;
    bool centreY; // offset counts from the middle row instead of the top edge
};

// Indexed by ArrowPlacement.
constexpr PlacementRule placementRules[] = {
    {2, false, -2, true}, // up, down, drop-down: two in from the left, centred a little high
    {0, true, 2, false},  // left, right: from the middle column, two down from the top
    {0, false, -2, true}, // spin: at the left edge, centred a little high
};

} // namespace

ButtonImageState buttonImageState(QStyle::State state)
{
    const bool pressed = state & (QStyle::State_Sunken | QStyle::State_On | QStyle::State_Selected);
    const bool enabled = state & QStyle::State_Enabled;
    const bool hovered = state & QStyle::State_MouseOver;
    return stateTable[pressed][enabled][hovered];
}

QPen cosmeticPen(const QColor& colour)
{
    QPen pen(colour, 0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    pen.setCosmetic(true);
    return pen;
}

namespace
{

// The rows of a vertical gradient, each from column `left` to column `right` inclusive.
void drawGradientRows(QPainter* painter, int left, int right, int topRow, int bottomRow, const QColor& top,
                      const QColor& bottom)
{
    const int rows = bottomRow - topRow;
    if (rows < 1)
        return;
    int hue = 0;
    int saturation = 0;
    int topValue = 0;
    top.getHsv(&hue, &saturation, &topValue);
    const int bottomValue = bottom.value();
    for (int k = 0; k <= rows; ++k)
    {
        const int value = topValue - ((topValue - bottomValue) * (rows - k)) / rows;
        painter->fillRect(QRect(QPoint(left, bottomRow - k), QPoint(right, bottomRow - k)),
                          QColor::fromHsv(hue, saturation, value));
    }
}

} // namespace

void drawVerticalGradient(QPainter* painter, const QRect& rect, const QColor& top, const QColor& bottom)
{
    // Each row reaches one column past the rectangle: the progress bar's groove and chunk and
    // the menu bar's empty area rely on it to meet the frame on their right. A rectangle whose
    // right edge lies further left (a progress bar's chunk before it grows) has no rows.
    if (rect.right() + 1 < rect.left())
        return;
    drawGradientRows(painter, rect.left(), rect.right() + 1, rect.top(), rect.bottom(), top, bottom);
}

void drawGradientColumn(QPainter* painter, int x, int topRow, int bottomRow, const QColor& top,
                        const QColor& bottom)
{
    drawGradientRows(painter, x, x, topRow, bottomRow, top, bottom);
}

void drawBorderPieces(QPainter* painter, const QRect& rect, int border, const NinePiece& pieces)
{
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();
    const int w = border;
    const struct
    {
        NinePiece::Piece piece;
        QRect target;
    } targets[] = {
        {NinePiece::TopLeft, QRect(QPoint(l, t), QPoint(l + w - 1, t + w - 1))},
        {NinePiece::Top, QRect(QPoint(l + w, t), QPoint(r - w, t + w - 1))},
        {NinePiece::TopRight, QRect(QPoint(r - w + 1, t), QPoint(r, t + w - 1))},
        {NinePiece::Right, QRect(QPoint(r - w + 1, t + w), QPoint(r, b - w))},
        {NinePiece::BottomRight, QRect(QPoint(r - w + 1, b - w + 1), QPoint(r, b))},
        {NinePiece::Bottom, QRect(QPoint(l + w, b - w + 1), QPoint(r - w, b))},
        {NinePiece::BottomLeft, QRect(QPoint(l, b - w + 1), QPoint(l + w - 1, b))},
        {NinePiece::Left, QRect(QPoint(l, t + w), QPoint(l + w - 1, b - w))},
    };
    for (const auto& target : targets)
    {
        const QPixmap& pixmap = pieces.piece(target.piece);
        if (!pixmap.isNull() && target.target.isValid())
            painter->drawPixmap(target.target, pixmap);
    }
}

void drawFramedGradient(QPainter* painter, const QRect& rect, int border, const NinePiece& pieces,
                        const QColor& top, const QColor& bottom)
{
    drawVerticalGradient(painter, rect.adjusted(border, border, -border, -border), top, bottom);
    drawBorderPieces(painter, rect, border, pieces);
}

void drawNinePiece(QPainter* painter, const QRect& rect, int border, const NinePiece& pieces)
{
    const QPixmap& centre = pieces.piece(NinePiece::Centre);
    const QRect inside = rect.adjusted(border, border, -border, -border);
    if (!centre.isNull() && inside.isValid())
        painter->drawPixmap(inside, centre);
    drawBorderPieces(painter, rect, border, pieces);
}

void drawSunkenFrame(QPainter* painter, const QRect& rect)
{
    painter->save();
    painter->setBrush(Qt::NoBrush);
    painter->setPen(cosmeticPen(ColorTable::colorFrame));
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->setPen(cosmeticPen(ColorTable::colorFrameShadow));
    painter->drawLine(rect.left() + 1, rect.top() + 1, rect.right() - 1, rect.top() + 1);
    painter->drawLine(rect.left() + 1, rect.top() + 1, rect.left() + 1, rect.bottom() - 1);
    painter->restore();
}

void drawFocusIndicator(QPainter* painter, const QRect& rect)
{
    painter->save();
    painter->setPen(cosmeticPen(ColorTable::colorFocus));
    painter->drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
    painter->drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
    painter->restore();
}

QPoint arrowPosition(ArrowPlacement placement, const QRect& rect)
{
    const PlacementRule& rule = placementRules[static_cast<int>(placement)];
    const int x = rect.left() + (rule.centreX ? (rect.right() - rect.left() + 1) / 2 : 0) + rule.xOffset;
    const int y = rect.top() + (rule.centreY ? (rect.bottom() - rect.top() + 1) / 2 : 0) + rule.yOffset;
    return {x, y};
}

void drawArrow(QPainter* painter, const QRect& rect, ArrowPlacement placement, const QImage& arrow)
{
    if (!arrow.isNull())
        painter->drawImage(arrowPosition(placement, rect), arrow);
}

void drawSliderHandle(QPainter* painter, const QRect& handle, const HandleColors& colours, bool horizontal)
{
    const int l = handle.left();
    const int t = handle.top();
    const int r = handle.right();
    const int b = handle.bottom();
    drawLine(painter, {l, t}, {r, t}, colours.topLine);
    drawPoint(painter, {r, t}, colours.topRightPoint);
    drawGradientColumn(painter, r, t, b, colours.rightColumnTop, colours.rightColumnBottom);
    drawLine(painter, {r, b}, {l + 1, b}, colours.bottomLine);
    drawPoint(painter, {l, b}, colours.bottomLeftPoint);
    drawGradientColumn(painter, l, t, b, colours.leftColumnTop, colours.leftColumnBottom);
    if (horizontal)
    {
        const int x = l + handle.width() / 2;
        drawLine(painter, {x, t}, {x, b}, colours.grip);
    }
    else
    {
        const int y = t + handle.height() / 2;
        drawLine(painter, {l, y}, {r, y}, colours.grip);
    }
}

void drawLine(QPainter* painter, const QPoint& from, const QPoint& to, const QColor& colour)
{
    const QPen saved = painter->pen();
    painter->setPen(cosmeticPen(colour));
    painter->drawLine(from, to);
    painter->setPen(saved);
}

void drawPoint(QPainter* painter, const QPoint& point, const QColor& colour)
{
    const QPen saved = painter->pen();
    painter->setPen(cosmeticPen(colour));
    painter->drawPoint(point);
    painter->setPen(saved);
}

} // namespace Painting
