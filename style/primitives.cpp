#include "colortable.h"
#include "painting.h"
#include "quorrelstyle.h"

#include <QPainter>
#include <QStyleOption>

// Primitive elements: frames, panels and indicators. Each element checks the kind of option it
// was given and draws nothing for another kind.

using namespace Painting;

void QuorrelStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const
{
    if (!option || !painter)
        return;
    switch (element)
    {
    case PE_Frame:
    case PE_FrameGroupBox:
    case PE_FrameLineEdit:
        drawSunkenFramePrimitive(option, painter);
        return;
    case PE_FrameFocusRect:
        drawFocusRect(option, painter);
        return;
    case PE_FrameMenu:
        drawMenuFrame(option, painter);
        return;
    case PE_FrameTabWidget:
        drawTabWidgetFrame(option, painter);
        return;
    case PE_PanelButtonCommand:
        drawCommandPanel(option, painter);
        return;
    case PE_PanelButtonTool:
        drawToolPanel(option, painter);
        return;
    case PE_PanelMenuBar:
        drawMenuBarPanel(option, painter);
        return;
    case PE_PanelLineEdit:
        drawLineEditPanel(option, painter);
        return;
    case PE_PanelTipLabel:
        drawTipPanel(option, painter);
        return;
    case PE_IndicatorArrowUp:
    case PE_IndicatorArrowDown:
    case PE_IndicatorArrowLeft:
    case PE_IndicatorArrowRight:
    case PE_IndicatorButtonDropDown:
    case PE_IndicatorSpinUp:
    case PE_IndicatorSpinDown:
        drawArrowIndicator(element, option, painter);
        return;
    case PE_IndicatorHeaderArrow:
        drawHeaderArrow(option, painter);
        return;
    case PE_IndicatorCheckBox:
        drawCheckBoxIndicator(option, painter);
        return;
    case PE_IndicatorMenuCheckMark:
        drawMenuCheckMark(option, painter);
        return;
    case PE_IndicatorItemViewItemCheck:
        drawItemViewCheck(option, painter, widget);
        return;
    case PE_IndicatorBranch:
        drawBranch(option, painter);
        return;
    default:
        // Tab-bar bases and tab tears among them.
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
}

void QuorrelStyle::drawSunkenFramePrimitive(const QStyleOption* option, QPainter* painter) const
{
    if (qstyleoption_cast<const QStyleOptionFrame*>(option))
        drawSunkenFrame(painter, option->rect);
}

void QuorrelStyle::drawFocusRect(const QStyleOption* option, QPainter* painter) const
{
    if (qstyleoption_cast<const QStyleOptionFocusRect*>(option))
        drawFocusIndicator(painter, option->rect);
}

void QuorrelStyle::drawMenuFrame(const QStyleOption* option, QPainter* painter) const
{
    if (!qstyleoption_cast<const QStyleOptionFrame*>(option))
        return;
    painter->save();
    painter->setPen(cosmeticPen(ColorTable::colorFrame));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

void QuorrelStyle::drawTabWidgetFrame(const QStyleOption* option, QPainter* painter) const
{
    if (qstyleoption_cast<const QStyleOptionTabWidgetFrame*>(option))
        drawSunkenFrame(painter, option->rect);
}

void QuorrelStyle::drawCommandPanel(const QStyleOption* option, QPainter* painter) const
{
    if (qstyleoption_cast<const QStyleOptionButton*>(option))
        paintButtonPanel(painter, option->rect, option->state);
}

void QuorrelStyle::drawToolPanel(const QStyleOption* option, QPainter* painter) const
{
    if (qstyleoption_cast<const QStyleOptionToolButton*>(option))
        paintButtonPanel(painter, option->rect, option->state);
}

void QuorrelStyle::drawMenuBarPanel(const QStyleOption* option, QPainter* painter) const
{
    if (!qstyleoption_cast<const QStyleOptionFrame*>(option))
        return;
    // The bar's bottom edge is one flat colour; its centre is left to the empty-area gradient.
    QPixmap bottom(1, 1);
    bottom.fill(ElementColors::menuBarBottom);
    NinePiece pieces = mMenuBar.withCentre(QPixmap());
    pieces.setPiece(NinePiece::BottomRight, bottom);
    pieces.setPiece(NinePiece::Bottom, bottom);
    drawNinePiece(painter, option->rect, 1, pieces);
}

void QuorrelStyle::drawLineEditPanel(const QStyleOption* option, QPainter* painter) const
{
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    if (!frame)
        return;
    painter->fillRect(frame->rect, frame->palette.brush(QPalette::Base));
    if (frame->lineWidth > 0)
        drawSunkenFrame(painter, frame->rect);
}

void QuorrelStyle::drawTipPanel(const QStyleOption* option, QPainter* painter) const
{
    const QRect& r = option->rect;
    drawSunkenFrame(painter, r);
    painter->fillRect(QRect(QPoint(r.left() + 2, r.top() + 2), QPoint(r.right() - 1, r.bottom() - 1)),
                      ColorTable::colorToolTipBase);
}

void QuorrelStyle::drawArrowIndicator(PrimitiveElement element, const QStyleOption* option,
                                      QPainter* painter) const
{
    static constexpr struct
    {
        PrimitiveElement element;
        Arrow arrow;
        ArrowPlacement placement;
    } arrows[] = {
        {PE_IndicatorArrowUp, ArrowUp, ArrowPlacement::UpDown},
        {PE_IndicatorArrowDown, ArrowDown, ArrowPlacement::UpDown},
        {PE_IndicatorArrowLeft, ArrowLeft, ArrowPlacement::LeftRight},
        {PE_IndicatorArrowRight, ArrowRight, ArrowPlacement::LeftRight},
        {PE_IndicatorButtonDropDown, ArrowDown, ArrowPlacement::UpDown},
        {PE_IndicatorSpinUp, ArrowSmallUp, ArrowPlacement::Spin},
        {PE_IndicatorSpinDown, ArrowSmallDown, ArrowPlacement::Spin},
    };
    for (const auto& entry : arrows)
    {
        if (entry.element == element)
        {
            const bool enabled = option->state & State_Enabled;
            drawArrow(painter, option->rect, entry.placement, arrowImage(entry.arrow, enabled));
            return;
        }
    }
}

void QuorrelStyle::drawHeaderArrow(const QStyleOption* option, QPainter* painter) const
{
    const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
    if (!header)
        return;
    const Arrow arrow = header->sortIndicator == QStyleOptionHeader::SortDown ? ArrowUp : ArrowDown;
    drawArrow(painter, header->rect, ArrowPlacement::UpDown,
              arrowImage(arrow, header->state & State_Enabled));
}

void QuorrelStyle::drawCheckBoxIndicator(const QStyleOption* option, QPainter* painter) const
{
    if (!qstyleoption_cast<const QStyleOptionButton*>(option))
        return;
    const QPixmap& centre = checkCentre(option->state & State_On, option->state & State_Enabled);
    if (!centre.isNull())
        painter->drawPixmap(option->rect.adjusted(2, 2, -3, -3), centre);
}

void QuorrelStyle::drawMenuCheckMark(const QStyleOption* option, QPainter* painter) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item)
        return;
    const QRect& r = item->rect;
    const QPixmap& centre = checkCentre(item->checked, item->state & State_Enabled);
    if (!centre.isNull())
        painter->drawPixmap(QRect(QPoint(r.left() + 2, r.top() + 1), QPoint(r.left() + 12, r.top() + 11)),
                            centre);
}

void QuorrelStyle::drawItemViewCheck(const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget) const
{
    if (!qstyleoption_cast<const QStyleOptionViewItem*>(option))
        return;
    const QRect r = proxy()->subElementRect(SE_ItemViewItemCheckIndicator, option, widget);
    const QPixmap& centre = option->state & State_ReadOnly
                                ? mCheckDisabled
                                : checkCentre(option->state & State_On, option->state & State_Enabled);
    if (!centre.isNull())
        painter->drawPixmap(r.adjusted(2, 2, -2, -2), centre);
    drawSunkenFrame(painter, r);
    drawLine(painter, {r.right() - 1, r.top() + 2}, {r.right() - 1, r.bottom() - 1}, ColorTable::colorButton);
    drawLine(painter, {r.left() + 2, r.bottom() - 1}, {r.right() - 1, r.bottom() - 1},
             ColorTable::colorButton);
}

void QuorrelStyle::drawBranch(const QStyleOption* option, QPainter* painter) const
{
    const QRect& r = option->rect;
    const QPoint centre = r.center();
    const int cx = centre.x();
    const int cy = centre.y();
    const QColor lineColour = option->palette.color(QPalette::Active, QPalette::ButtonText);

    // Where the connecting lines stop: at the box around the centre, or at the centre itself.
    int before = 0;
    int after = 0;
    painter->save();
    if (option->state & State_Children)
    {
        drawLine(painter, {cx - 2, cy}, {cx + 2, cy}, ColorTable::colorButtonText);
        if (!(option->state & State_Open))
            drawLine(painter, {cx, cy - 2}, {cx, cy + 2}, ColorTable::colorButtonText);
        painter->setPen(cosmeticPen(lineColour));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(cx - 4, cy - 4, 8, 8);
        before = 5;
        after = 5;
    }

    const QBrush dotted(lineColour, Qt::Dense4Pattern);
    if (option->state & State_Item)
    {
        if (option->direction == Qt::RightToLeft)
            painter->fillRect(QRect(QPoint(r.left(), cy), QPoint(cx - before, cy)), dotted);
        else
            painter->fillRect(QRect(QPoint(cx + after, cy), QPoint(r.right(), cy)), dotted);
    }
    if (option->state & State_Sibling)
        painter->fillRect(QRect(QPoint(cx, cy + after), QPoint(cx, r.bottom())), dotted);
    if (option->state & (State_Open | State_Children | State_Item | State_Sibling))
        painter->fillRect(QRect(QPoint(cx, r.top()), QPoint(cx, cy - before)), dotted);
    painter->restore();
}
