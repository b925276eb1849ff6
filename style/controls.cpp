#include "colortable.h"
#include "painting.h"
#include "quorrelstyle.h"
#include "zeltoolbutton.h"

#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QSplitterHandle>
#include <QStyleOption>

// Control elements. Menu items are in menuitem.cpp.

using namespace Painting;

namespace
{

constexpr int labelFlags = Qt::AlignLeft | Qt::TextSingleLine | Qt::TextDontClip | Qt::TextHideMnemonic;

QSize logicalSize(const QPixmap& pixmap)
{
    return pixmap.deviceIndependentSize().toSize();
}

} // namespace

void QuorrelStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const
{
    if (!option || !painter)
        return;
    switch (element)
    {
    case CE_PushButton:
        drawPushButton(option, painter, widget);
        return;
    case CE_CheckBox:
        drawCheckOrRadio(option, painter, widget, false);
        return;
    case CE_RadioButton:
        drawCheckOrRadio(option, painter, widget, true);
        return;
    case CE_CheckBoxLabel:
    case CE_RadioButtonLabel:
        drawCheckLabel(option, painter);
        return;
    case CE_TabBarTab:
        drawTab(option, painter, widget);
        return;
    case CE_TabBarTabLabel: // drawn with the whole tab
    case CE_ProgressBarGroove:
    case CE_MenuEmptyArea:
    case CE_ToolBoxTab:
    case CE_ScrollBarFirst:
    case CE_ScrollBarLast:
        return;
    case CE_ProgressBar:
        drawProgressBar(option, painter, widget);
        return;
    case CE_ProgressBarContents:
        drawProgressContents(option, painter, widget);
        return;
    case CE_ProgressBarLabel:
        drawProgressLabel(option, painter);
        return;
    case CE_MenuItem:
        drawMenuItem(option, painter, widget);
        return;
    case CE_MenuBarItem:
        drawMenuBarItem(option, painter);
        return;
    case CE_MenuBarEmptyArea:
        drawMenuBarEmptyArea(painter, widget);
        return;
    case CE_ToolButtonLabel:
        drawToolButtonLabel(option, painter, widget);
        return;
    case CE_HeaderLabel:
        drawHeaderLabel(option, painter);
        return;
    case CE_Splitter:
        drawSplitter(painter, widget);
        return;
    case CE_ScrollBarAddLine:
        drawScrollBarLine(option, painter, widget, true);
        return;
    case CE_ScrollBarSubLine:
        drawScrollBarLine(option, painter, widget, false);
        return;
    case CE_ScrollBarAddPage:
    case CE_ScrollBarSubPage:
        drawScrollBarPage(option, painter);
        return;
    case CE_ScrollBarSlider:
        drawScrollBarSlider(option, painter, widget);
        return;
    case CE_ComboBoxLabel:
        drawComboBoxLabel(option, painter, widget);
        return;
    case CE_ShapedFrame:
        drawShapedFrame(option, painter, widget);
        return;
    default:
        // Headers and header sections among them.
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
}

void QuorrelStyle::drawPushButton(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (!button)
        return;
    proxy()->drawPrimitive(PE_PanelButtonCommand, button, painter, widget);
    if (!button->text.isEmpty())
    {
        const QRect& r = button->rect;
        const QRect textRect(QPoint(r.left() + 5, r.top() + 1), QPoint(r.right(), r.bottom() - 4));
        proxy()->drawItemText(painter, textRect, labelFlags, button->palette, button->state & State_Enabled,
                              button->text,
                              button->state & State_On ? QPalette::BrightText : QPalette::ButtonText);
    }
    drawPushButtonIcon(*button, painter);
    if (button->state & State_HasFocus)
        drawFocusIndicator(painter, button->rect);
}

void QuorrelStyle::drawPushButtonIcon(const QStyleOptionButton& button, QPainter* painter) const
{
    if (button.icon.isNull())
        return;
    const QPixmap pixmap =
        button.icon.pixmap(button.iconSize, button.state & State_Enabled ? QIcon::Active : QIcon::Disabled,
                           button.state & State_Sunken ? QIcon::On : QIcon::Off);
    const QSize size = logicalSize(pixmap);
    const QRect& r = button.rect;
    // The icon sits at the left of a button with text (which is not moved aside for it).
    int x = button.text.isEmpty() ? r.left() + (r.width() - size.width()) / 2 : r.left() + 2;
    const int y = r.top() + (r.bottom() - r.top() + 1) / 2 - size.height() / 2;
    if (button.direction == Qt::RightToLeft)
    {
        x += size.width();
        if (button.state & (State_Sunken | State_On))
            x -= 2;
    }
    painter->drawPixmap(visualPos(button.direction, r, QPoint(x, y)), pixmap);
}

void QuorrelStyle::drawCheckOrRadio(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                                    bool radio) const
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (!button)
        return;
    // Radio buttons are laid out like check boxes and share their ring images.
    const bool on = button->state & State_On;
    const NinePiece& ring = on ? mRadioActive : mRadioNormal;
    const QPixmap& centre =
        radio ? ring.piece(NinePiece::Centre) : checkCentre(on, button->state & State_Enabled);
    drawNinePiece(painter, proxy()->subElementRect(SE_CheckBoxIndicator, button, widget), 2,
                  ring.withCentre(centre));

    QStyleOptionButton label = *button;
    label.rect = proxy()->subElementRect(SE_CheckBoxContents, button, widget);
    proxy()->drawControl(radio ? CE_RadioButtonLabel : CE_CheckBoxLabel, &label, painter, widget);
    if (button->state & State_HasFocus)
        drawFocusIndicator(painter, proxy()->subElementRect(SE_CheckBoxFocusRect, button, widget));
}

void QuorrelStyle::drawCheckLabel(const QStyleOption* option, QPainter* painter) const
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (!button || button->text.isEmpty())
        return;
    const QRect& r = button->rect;
    proxy()->drawItemText(painter, QRect(QPoint(r.left(), r.top() + 1), QPoint(r.right(), r.bottom() + 1)),
                          labelFlags, button->palette, button->state & State_Enabled, button->text,
                          QPalette::ButtonText);
}

void QuorrelStyle::drawTab(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
    if (!tab)
        return;
    const bool enabled = tab->state & State_Enabled;
    // A tab is a button; the selected one looks pressed.
    QStyleOptionButton button;
    button.QStyleOption::operator=(*tab);
    button.state = enabled
                       ? State_Enabled | (tab->state & (State_MouseOver | State_Selected | State_HasFocus))
                       : State_None;
    button.rect.setRight(button.rect.right() - 3);
    proxy()->drawPrimitive(PE_PanelButtonCommand, &button, painter, widget);
    if (button.state & State_HasFocus)
        drawFocusIndicator(painter, button.rect);

    const QRect& r = button.rect;
    int textLeft = r.left() + 6;
    if (!tab->icon.isNull())
    {
        const QPixmap pixmap = tab->icon.pixmap(16, enabled ? QIcon::Normal : QIcon::Disabled);
        const QSize size = logicalSize(pixmap);
        painter->drawPixmap(r.left() + 6, r.top() + (r.height() - size.height()) / 2, pixmap);
        textLeft = r.left() + 20;
    }
    proxy()->drawItemText(painter, QRect(QPoint(textLeft, r.top()), r.bottomRight()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, tab->palette, enabled,
                          tab->text, QPalette::WindowText);
}

void QuorrelStyle::drawProgressBar(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
    if (!bar)
        return;
    proxy()->drawControl(CE_ProgressBarContents, bar, painter, widget);
    if (bar->textVisible)
    {
        QStyleOptionProgressBar label = *bar;
        label.rect = proxy()->subElementRect(SE_ProgressBarLabel, bar, widget);
        proxy()->drawControl(CE_ProgressBarLabel, &label, painter, widget);
    }
}

void QuorrelStyle::drawProgressContents(const QStyleOption* option, QPainter* painter,
                                        const QWidget* widget) const
{
    const auto* progress = qobject_cast<const QProgressBar*>(widget);
    if (!qstyleoption_cast<const QStyleOptionProgressBar*>(option) || !progress)
        return;
    const QRect w = progress->rect();
    drawSunkenFrame(painter, w);
    const QRect groove(QPoint(w.left() + 1, w.top() + 1), QPoint(w.right() - 2, w.bottom() - 1));
    drawVerticalGradient(painter, groove, ColorTable::colorGrooveTop, ColorTable::colorGrooveBottom);

    // The share is taken of the range, so a bar that does not start at 0 fills from empty; a
    // busy bar (empty range) has no share to show.
    const qint64 done = qint64(progress->value()) - progress->minimum();
    const qint64 range = qint64(progress->maximum()) - progress->minimum();
    const double share = range > 0 ? double(done) / double(range) : 0.0;
    if (done > 0 && range > 0)
    {
        const int filled = int(share * 100 * w.width() / 100);
        drawVerticalGradient(painter, QRect(groove.topLeft(), QPoint(w.left() + filled - 3, groove.bottom())),
                             ColorTable::colorBrightText, ElementColors::progressChunkBottom);
    }
    if (progress->isTextVisible())
    {
        // At the bar's right edge, apart from the centred label of CE_ProgressBarLabel.
        const QString text = QStringLiteral("%1 %").arg(qRound(share * 100));
        painter->save();
        painter->setPen(option->palette.color(QPalette::Active, QPalette::ButtonText));
        painter->drawText(QPoint(option->rect.width(), w.top() + w.height() - 4), text);
        painter->restore();
    }
}

void QuorrelStyle::drawProgressLabel(const QStyleOption* option, QPainter* painter) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
    if (!bar)
        return;
    const qint64 range = qint64(bar->maximum) - bar->minimum;
    // Long ranges show the share with one decimal instead of the bar's own text.
    const QString label =
        range <= 100
            ? bar->text
            : QString::number(double(qint64(bar->progress) - bar->minimum) * 100.0 / double(range), 'f', 1) +
                  QStringLiteral(" %");
    if (label.isEmpty())
        return;
    painter->save();
    painter->setPen(bar->palette.color(QPalette::Active, QPalette::ButtonText));
    painter->drawText(bar->rect,
                      Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip | Qt::TextHideMnemonic, label);
    painter->restore();
}

void QuorrelStyle::drawMenuBarItem(const QStyleOption* option, QPainter* painter) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item)
        return;
    const QRect& r = item->rect;
    const int l = r.left();
    const int t = r.top();
    const int rt = r.right();
    const int b = r.bottom();
    const bool selected = item->state & State_Selected;
    const bool focused = selected && (item->state & State_HasFocus);

    painter->save();
    if (focused || (item->state & State_Sunken))
    {
        using namespace ElementColors;
        drawVerticalGradient(painter, QRect(QPoint(l + 1, t + 2), QPoint(rt - 1, b - 1)), menuBarPressedTop,
                             menuBarPressedBottom);
        drawLine(painter, {l, t + 1}, {rt - 1, t + 1}, menuBarPressedTopLine);
        drawPoint(painter, {rt, t + 1}, menuBarPressedCorner);
        drawPoint(painter, {l, b}, menuBarPressedCorner);
        drawLine(painter, {rt, t + 2}, {rt, b}, ColorTable::colorHighlight);
        drawLine(painter, {l + 1, b}, {rt, b}, ColorTable::colorHighlight);
        drawGradientColumn(painter, l, t + 2, b - 1, menuBarPressedLeftTop, menuBarPressedLeftBottom);
    }
    else
    {
        drawVerticalGradient(painter, QRect(QPoint(l, t + 1), QPoint(rt, b)), ElementColors::menuBarTop,
                             ElementColors::menuBarBottomRow);
    }

    const int flags = Qt::AlignLeft | Qt::TextSingleLine | Qt::TextDontClip | Qt::TextShowMnemonic;
    const bool enabled = item->state & State_Enabled;
    if (!item->icon.isNull())
    {
        const QPixmap pixmap = item->icon.pixmap(16, enabled ? QIcon::Normal : QIcon::Disabled);
        proxy()->drawItemPixmap(painter, QRect(QPoint(l + 5, t + 3), QPoint(rt + 5, b + 1)), flags, pixmap);
    }
    else
    {
        proxy()->drawItemText(painter, QRect(QPoint(l + 5, t + 4), QPoint(rt + 5, b + 2)), flags,
                              item->palette, enabled, item->text,
                              focused ? QPalette::HighlightedText : QPalette::ButtonText);
    }
    painter->restore();
}

void QuorrelStyle::drawMenuBarEmptyArea(QPainter* painter, const QWidget* widget) const
{
    if (const auto* bar = qobject_cast<const QMenuBar*>(widget))
        drawVerticalGradient(painter, bar->rect().adjusted(1, 1, -1, -1), ElementColors::menuBarTop,
                             ElementColors::menuBarBottomRow);
}

void QuorrelStyle::drawToolButtonLabel(const QStyleOption* option, QPainter* painter,
                                       const QWidget* widget) const
{
    const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
    if (!tool)
        return;
    // A pressed or checked button's label moves one pixel right and down.
    const int shift = tool->state & (State_Sunken | State_On) ? 1 : 0;
    if (tool->features & QStyleOptionToolButton::Arrow)
        drawToolButtonArrow(*tool, shift, painter, widget);
    else if ((tool->icon.isNull() && !tool->text.isEmpty()) ||
             tool->toolButtonStyle == Qt::ToolButtonTextOnly)
        drawToolButtonText(*tool, shift, painter, widget);
    else
        drawToolButtonIcon(*tool, tool->rect.translated(shift, shift), painter);
}

void QuorrelStyle::drawToolButtonArrow(const QStyleOptionToolButton& tool, int shift, QPainter* painter,
                                       const QWidget* widget) const
{
    // Indexed by Qt::ArrowType; NoArrow draws nothing.
    static constexpr PrimitiveElement arrows[] = {PE_CustomBase, PE_IndicatorArrowUp, PE_IndicatorArrowDown,
                                                  PE_IndicatorArrowLeft, PE_IndicatorArrowRight};
    if (tool.arrowType <= Qt::NoArrow || tool.arrowType > Qt::RightArrow)
        return;
    QStyleOption arrow;
    arrow.rect = tool.rect.translated(shift, shift);
    arrow.palette = tool.palette;
    arrow.state = tool.state;
    proxy()->drawPrimitive(arrows[tool.arrowType], &arrow, painter, widget);
}

void QuorrelStyle::drawToolButtonText(const QStyleOptionToolButton& tool, int shift, QPainter* painter,
                                      const QWidget* widget) const
{
    int alignment = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextShowMnemonic;
    int indent = 0;
    if (const auto* zel = qobject_cast<const ZelToolButton*>(widget))
    {
        alignment = int(zel->alignment());
        if (alignment & Qt::AlignLeft)
            indent = 4;
    }
    // A checked button says so in the accent colour.
    QPalette palette = tool.palette;
    if (tool.state & State_On)
    {
        palette.setBrush(QPalette::Active, QPalette::ButtonText, ColorTable::colorAccent);
        palette.setBrush(QPalette::Inactive, QPalette::ButtonText, ColorTable::colorAccent);
    }
    proxy()->drawItemText(painter, tool.rect.translated(shift + indent, shift), alignment, palette,
                          tool.state & State_Enabled, tool.text, QPalette::ButtonText);
}

void QuorrelStyle::drawToolButtonIcon(const QStyleOptionToolButton& tool, const QRect& rect,
                                      QPainter* painter) const
{
    const QIcon::Mode mode = !(tool.state & State_Enabled) ? QIcon::Disabled
                             : (tool.state & State_MouseOver) && (tool.state & State_AutoRaise)
                                 ? QIcon::Active
                                 : QIcon::Normal;
    const QPixmap pixmap = tool.icon.pixmap(tool.iconSize.boundedTo(rect.size()), mode,
                                            tool.state & State_On ? QIcon::On : QIcon::Off);
    if (tool.toolButtonStyle == Qt::ToolButtonIconOnly || tool.text.isEmpty())
        proxy()->drawItemPixmap(painter, rect, Qt::AlignCenter, pixmap);
    else
        drawToolButtonIconText(tool, rect, pixmap, painter);
}

void QuorrelStyle::drawToolButtonIconText(const QStyleOptionToolButton& tool, const QRect& rect,
                                          const QPixmap& pixmap, QPainter* painter) const
{
    painter->save();
    painter->setFont(tool.font);
    QRect pixmapArea = rect;
    QRect textArea = rect;
    int textAlignment = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic;
    if (tool.toolButtonStyle == Qt::ToolButtonTextUnderIcon)
    {
        const int textHeight = painter->fontMetrics().height() + 3;
        pixmapArea.setBottom(rect.bottom() - textHeight);
        textArea.setTop(rect.bottom() - textHeight + 1);
        textAlignment = Qt::AlignCenter | Qt::TextShowMnemonic;
    }
    else
    {
        pixmapArea.setWidth(logicalSize(pixmap).width() + 7);
        textArea.setLeft(pixmapArea.right() + 1);
    }
    proxy()->drawItemPixmap(painter, pixmapArea, Qt::AlignCenter, pixmap);
    proxy()->drawItemText(painter, textArea, textAlignment, tool.palette, tool.state & State_Enabled,
                          tool.text, QPalette::ButtonText);
    painter->restore();
}

void QuorrelStyle::drawHeaderLabel(const QStyleOption* option, QPainter* painter) const
{
    const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
    if (!header)
        return;
    const bool enabled = header->state & State_Enabled;
    QRect r = header->rect;
    if (!header->icon.isNull())
    {
        const QPixmap pixmap = header->icon.pixmap(16, enabled ? QIcon::Normal : QIcon::Disabled);
        proxy()->drawItemPixmap(painter, r, int(header->iconAlignment), pixmap);
        const int used = logicalSize(pixmap).width() + 2;
        if (header->direction == Qt::RightToLeft)
            r.setRight(r.right() - used);
        else
            r.setLeft(r.left() + used);
    }
    int alignment = int(header->textAlignment);
    if (alignment == Qt::AlignCenter)
        alignment = Qt::AlignLeft | Qt::AlignVCenter;
    proxy()->drawItemText(painter, QRect(QPoint(r.left(), r.top() - 3), QPoint(r.right(), r.bottom() + 2)),
                          alignment, header->palette, enabled, header->text,
                          header->state & (State_Sunken | State_On) ? QPalette::BrightText
                                                                    : QPalette::ButtonText);
}

void QuorrelStyle::drawSplitter(QPainter* painter, const QWidget* widget) const
{
    const auto* handle = qobject_cast<const QSplitterHandle*>(widget);
    if (!handle)
        return;
    const QRect r = handle->rect();
    const QColor colours[] = {ColorTable::colorHighlight, ElementColors::splitterDark,
                              ElementColors::splitterLight};
    for (int i = 0; i < 3; ++i)
    {
        if (handle->orientation() == Qt::Horizontal)
            drawLine(painter, {r.left() + 4 + i, r.top()}, {r.left() + 4 + i, r.bottom()}, colours[i]);
        else
            drawLine(painter, {r.left(), r.top() + 3 + i}, {r.right(), r.top() + 3 + i}, colours[i]);
    }
}

void QuorrelStyle::drawScrollBarLine(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                                     bool addLine) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!bar)
        return;
    QStyleOptionButton button;
    button.QStyleOption::operator=(*bar);
    proxy()->drawPrimitive(PE_PanelButtonCommand, &button, painter, widget);

    PrimitiveElement arrow = addLine ? PE_IndicatorArrowDown : PE_IndicatorArrowUp;
    if (bar->orientation == Qt::Horizontal)
    {
        const bool towardsRight = addLine != (bar->direction == Qt::RightToLeft);
        arrow = towardsRight ? PE_IndicatorArrowRight : PE_IndicatorArrowLeft;
    }
    proxy()->drawPrimitive(arrow, &button, painter, widget);
}

void QuorrelStyle::drawScrollBarPage(const QStyleOption* option, QPainter* painter) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!bar)
        return;
    const QRect& r = bar->rect;
    const QRect band = bar->orientation == Qt::Horizontal
                           ? QRect(QPoint(r.left() + 1, r.top()), QPoint(r.right(), r.top() + 11))
                           : QRect(QPoint(r.left(), r.top() + 1), QPoint(r.left() + 11, r.bottom()));
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBackgroundMode(Qt::OpaqueMode);
    painter->fillRect(band, ColorTable::colorBase);
    painter->restore();
}

void QuorrelStyle::drawScrollBarSlider(const QStyleOption* option, QPainter* painter,
                                       const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!bar)
        return;
    QStyleOptionButton button;
    button.QStyleOption::operator=(*bar);
    proxy()->drawPrimitive(PE_PanelButtonCommand, &button, painter, widget);

    // Icon mode and state per button look (ButtonImageState order).
    static constexpr struct
    {
        QIcon::Mode mode;
        QIcon::State state;
    } gripLooks[] = {{QIcon::Normal, QIcon::Off}, {QIcon::Active, QIcon::Off}, {QIcon::Disabled, QIcon::Off},
                     {QIcon::Active, QIcon::On},  {QIcon::Active, QIcon::On},  {QIcon::Disabled, QIcon::On}};
    const auto& look = gripLooks[static_cast<int>(buttonImageState(bar->state))];
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const QPixmap grip = (horizontal ? mSliderHorizontal : mSliderVertical).pixmap(16, look.mode, look.state);
    const QRect& r = bar->rect;
    painter->drawPixmap(horizontal ? QPoint(r.center().x() - 2, r.top() + 2)
                                   : QPoint(r.left() + 2, r.center().y() - 2),
                        grip);
}

void QuorrelStyle::drawComboBoxLabel(const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget) const
{
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (!combo)
        return;
    QRect field = proxy()->subControlRect(CC_ComboBox, combo, SC_ComboBoxEditField, widget).translated(1, 0);
    painter->save();
    painter->setClipRect(field);
    if (!combo->currentIcon.isNull())
    {
        const QPixmap pixmap = combo->currentIcon.pixmap(
            combo->iconSize, combo->state & State_Enabled ? QIcon::Normal : QIcon::Disabled);
        const QSize size = logicalSize(pixmap);
        const QRect iconArea(field.left(), field.top(), size.width(), field.height());
        if (combo->editable)
            painter->fillRect(iconArea, combo->palette.brush(QPalette::Base));
        proxy()->drawItemPixmap(painter, iconArea, Qt::AlignCenter, pixmap);
        field.setLeft(field.left() + size.width() + 4);
    }
    if (!combo->currentText.isEmpty() && !combo->editable)
    {
        painter->setPen(combo->palette.color(combo->state & State_HasFocus ? QPalette::HighlightedText
                                                                           : QPalette::ButtonText));
        painter->drawText(field, Qt::AlignLeft | Qt::AlignVCenter, combo->currentText);
    }
    painter->restore();
}

void QuorrelStyle::drawShapedFrame(const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    if (frame && frame->frameShape == QFrame::Panel)
        drawSunkenFrame(painter, frame->rect);
    else
        QProxyStyle::drawControl(CE_ShapedFrame, option, painter, widget);
}
