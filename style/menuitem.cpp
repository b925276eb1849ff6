#include "colortable.h"
#include "painting.h"
#include "quorrelstyle.h"

#include <QPainter>
#include <QStyleOption>
#include <qdrawutil.h>

// Menu items: a filled row with a check area at the left, the icon in it, the text with its
// shortcut, and an arrow for sub-menus.

using namespace Painting;

void QuorrelStyle::drawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item)
        return;
    const QRect& r = item->rect;
    const bool selected = item->state & State_Selected;
    painter->fillRect(r, item->palette.brush(selected ? QPalette::Highlight : QPalette::Button));

    if (item->menuItemType == QStyleOptionMenuItem::Separator)
    {
        // Two lines in the highlight colour between rows of the base colour, each one column
        // past the item, as the gradient rows run.
        const QColor rows[7] = {ColorTable::colorBase, ColorTable::colorBase,      ColorTable::colorHighlight,
                                ColorTable::colorBase, ColorTable::colorHighlight, ColorTable::colorBase,
                                ColorTable::colorBase};
        for (int row = 0; row < 7; ++row)
            painter->fillRect(QRect(r.left(), r.top() + row, r.width() + 1, 1), rows[row]);
        return;
    }

    const QRect checkArea =
        visualRect(item->direction, r,
                   QRect(QPoint(r.left(), r.top()), QPoint(r.left() + 14, r.bottom() - 1)))
            .translated(2, 0);
    if (item->checkType != QStyleOptionMenuItem::NotCheckable)
        drawMenuItemCheck(*item, checkArea, painter);
    drawMenuItemIcon(*item, checkArea, painter, widget);
    drawMenuItemText(*item, painter);
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu)
        drawSubMenuArrow(*item, painter, widget);
}

void QuorrelStyle::drawMenuItemCheck(const QStyleOptionMenuItem& item, const QRect& checkArea,
                                     QPainter* painter) const
{
    const NinePiece set = item.checked
                              ? mRadioActive.withCentre(checkCentre(true, item.state & State_Enabled))
                              : mRadioNormal.withCentre(mCheckNormal);
    drawNinePiece(painter, checkArea, 2, set);
}

void QuorrelStyle::drawMenuItemIcon(const QStyleOptionMenuItem& item, const QRect& checkArea,
                                    QPainter* painter, const QWidget* widget) const
{
    const bool enabled = item.state & State_Enabled;
    const bool selected = item.state & State_Selected;
    if (item.icon.isNull())
    {
        if (item.checked)
        {
            const QRect& r = item.rect;
            QStyleOptionMenuItem mark = item;
            mark.rect = QRect(QPoint(r.left() + 2, r.top() + 2), QPoint(r.left() + 12, r.bottom() - 2));
            proxy()->drawPrimitive(PE_IndicatorMenuCheckMark, &mark, painter, widget);
        }
        return;
    }
    const QIcon::Mode mode = !enabled ? QIcon::Disabled : selected ? QIcon::Active : QIcon::Normal;
    const QPixmap pixmap = item.icon.pixmap(16, mode, item.checked ? QIcon::On : QIcon::Off);
    if (selected && enabled && !item.checked)
    {
        const QBrush fill = item.palette.brush(QPalette::Button);
        qDrawShadePanel(painter, checkArea, item.palette, false, 1, &fill);
    }
    QRect pixmapRect(QPoint(0, 0), pixmap.deviceIndependentSize().toSize());
    pixmapRect.moveCenter(checkArea.center());
    painter->drawPixmap(pixmapRect.topLeft(), pixmap);
}

void QuorrelStyle::drawMenuItemText(const QStyleOptionMenuItem& item, QPainter* painter) const
{
    const QRect& r = item.rect;
    const bool enabled = item.state & State_Enabled;
    const QPalette::ColorRole role =
        item.state & State_Selected ? QPalette::HighlightedText : QPalette::ButtonText;
    const int flags =
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip | Qt::TextShowMnemonic;
    const QRect textRect(
        QPoint(r.left() + 20, r.top() + 2),
        QPoint(r.left() + r.width() - item.reservedShortcutWidth - 15, r.top() + r.height() - 3));

    QString text = item.text;
    const int tab = text.indexOf(QLatin1Char('\t'));
    if (tab >= 0)
    {
        const QRect shortcutRect(QPoint(textRect.right(), textRect.top()),
                                 QPoint(r.right(), textRect.bottom()));
        proxy()->drawItemText(painter, visualRect(item.direction, r, shortcutRect), flags, item.palette,
                              enabled, text.mid(tab + 1), role);
        text.truncate(tab);
    }
    painter->save();
    QFont font = item.font;
    if (item.menuItemType == QStyleOptionMenuItem::DefaultItem)
        font.setBold(true);
    painter->setFont(font);
    proxy()->drawItemText(painter, visualRect(item.direction, r, textRect), flags, item.palette, enabled,
                          text, role);
    painter->restore();
}

void QuorrelStyle::drawSubMenuArrow(const QStyleOptionMenuItem& item, QPainter* painter,
                                    const QWidget* widget) const
{
    const QRect& r = item.rect;
    const int x = r.left() + r.width() - (r.height() - 4) / 2 - 8;
    QStyleOption arrow;
    arrow.rect = visualRect(item.direction, r, QRect(QPoint(x + 2, r.top() + 3), QPoint(x + 5, r.top() + 8)));
    arrow.direction = item.direction;
    arrow.state = item.state & State_Enabled ? State_Enabled : State_None;
    arrow.palette = item.palette;
    if (item.state & State_Selected)
        arrow.palette.setColor(QPalette::ButtonText, item.palette.color(QPalette::HighlightedText));
    proxy()->drawPrimitive(item.direction == Qt::RightToLeft ? PE_IndicatorArrowLeft : PE_IndicatorArrowRight,
                           &arrow, painter, widget);
}
