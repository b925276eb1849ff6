#include "quorrelstyle.h"

#include <QComboBox>
#include <QCommonStyle>
#include <QEvent>
#include <QSlider>
#include <QStyleOption>

#include <algorithm>
#include <optional>

// The style's geometry. Buttons, line edits, combo and spin boxes report 15-pixel heights, which
// is what makes the window compact; the sub-control rectangles here are the ones the painting
// code draws into.

namespace
{

template <typename Key> struct TableRow
{
    Key key;
    int value;
};

template <typename Key, std::size_t N> const TableRow<Key>* findRow(const TableRow<Key> (&table)[N], Key key)
{
    const auto* row = std::find_if(std::begin(table), std::end(table),
                                   [key](const TableRow<Key>& r) { return r.key == key; });
    return row == std::end(table) ? nullptr : row;
}

using S = QStyle;

constexpr TableRow<S::PixelMetric> metricTable[] = {
    {S::PM_ButtonMargin, 6},
    {S::PM_ButtonDefaultIndicator, 1},
    {S::PM_MenuButtonIndicator, 15},
    {S::PM_ButtonShiftHorizontal, 1},
    {S::PM_ButtonShiftVertical, 1},
    {S::PM_DefaultFrameWidth, 2},
    {S::PM_SpinBoxFrameWidth, 2},
    {S::PM_ComboBoxFrameWidth, 2},
    {S::PM_MaximumDragDistance, 60},
    {S::PM_ScrollBarExtent, 15},
    {S::PM_ScrollBarSliderMin, 15},
    {S::PM_SliderThickness, 21},
    {S::PM_SliderLength, 21},
    {S::PM_SliderTickmarkOffset, 2},
    {S::PM_DockWidgetSeparatorExtent, 6},
    {S::PM_TabBarTabOverlap, 3},
    {S::PM_TabBarTabHSpace, 3},
    {S::PM_TabBarTabVSpace, 3},
    {S::PM_TabBarBaseHeight, 5},
    {S::PM_TabBarBaseOverlap, -1},
    {S::PM_ProgressBarChunkWidth, 9},
    {S::PM_SplitterWidth, 9},
    {S::PM_MenuScrollerHeight, 10},
    {S::PM_MenuHMargin, 0},
    {S::PM_MenuVMargin, 0},
    {S::PM_MenuDesktopFrameWidth, 0},
    {S::PM_MenuBarPanelWidth, 0},
    {S::PM_MenuBarItemSpacing, 0},
    {S::PM_MenuBarVMargin, 0},
    {S::PM_MenuBarHMargin, 0},
    {S::PM_TabBarTabShiftHorizontal, 0},
    {S::PM_MenuPanelWidth, 1},
    {S::PM_ToolTipLabelFrameWidth, 1},
    {S::PM_IndicatorWidth, 15},
    {S::PM_IndicatorHeight, 15},
    {S::PM_ExclusiveIndicatorWidth, 12},
    {S::PM_ExclusiveIndicatorHeight, 12},
    {S::PM_HeaderMargin, 4},
    {S::PM_HeaderGripMargin, 4},
    {S::PM_TabBarTabShiftVertical, 2},
    {S::PM_TabBarScrollButtonWidth, 16},
    {S::PM_ListViewIconSize, 16},
    {S::PM_SmallIconSize, 16},
    {S::PM_TabBarIconSize, 16},
    // Layout spacing: 6 between items, 9 inside child widgets (11 inside windows, below).
    {S::PM_LayoutHorizontalSpacing, 6},
    {S::PM_LayoutVerticalSpacing, 6},
    {S::PM_CheckBoxLabelSpacing, 6},
    {S::PM_ToolBarIconSize, 24},
    {S::PM_IconViewIconSize, 32},
    {S::PM_LargeIconSize, 32},
    {S::PM_DockWidgetTitleMargin, 3},
};

constexpr int windowMargin = 11;
constexpr int childMargin = 9;

constexpr TableRow<S::StyleHint> hintTable[] = {
    {S::SH_EtchDisabledText, 0},
    {S::SH_DitherDisabledText, 0},
    {S::SH_MainWindow_SpaceBelowMenuBar, 0},
    {S::SH_ScrollView_FrameOnlyAroundContents, 0},
    {S::SH_Widget_ShareActivation, 0},
    {S::SH_ComboBox_Popup, 0},
    {S::SH_Menu_Scrollable, 0},
    {S::SH_GroupBox_TextLabelColor, 0},
    {S::SH_Menu_SloppySubMenus, 0},
    {S::SH_TabBar_PreferNoArrows, 0},
    {S::SH_MessageBox_UseBorderForButtonSpacing, 0},
    {S::SH_ComboBox_LayoutDirection, 0},
    {S::SH_ItemView_ShowDecorationSelected, 0},
    {S::SH_ItemView_ActivateItemOnSingleClick, 0},
    {S::SH_ScrollBar_ScrollWhenPointerLeavesControl, 1},
    {S::SH_TabBar_Alignment, Qt::AlignLeft},
    {S::SH_Slider_SnapToValue, 1},
    {S::SH_PrintDialog_RightAlignButtons, 1},
    {S::SH_FontDialog_SelectAssociatedText, 1},
    {S::SH_MenuBar_AltKeyNavigation, 1},
    {S::SH_ComboBox_ListMouseTracking, 1},
    {S::SH_Menu_MouseTracking, 1},
    {S::SH_MenuBar_MouseTracking, 1},
    {S::SH_Slider_StopMouseOverSlider, 1},
    {S::SH_BlinkCursorWhenTextSelected, 1},
    {S::SH_UnderlineShortcut, 1},
    {S::SH_SpinControls_DisableOnBounds, 1},
    {S::SH_TabBar_SelectMouseType, QEvent::MouseButtonPress},
    {S::SH_Menu_SubMenuPopupDelay, 256},
    {S::SH_GroupBox_TextLabelVerticalAlignment, Qt::AlignVCenter},
    {S::SH_SpinBox_ClickAutoRepeatRate, 150},
    {S::SH_ToolTipLabel_Opacity, 255},
    {S::SH_Button_FocusPolicy, Qt::StrongFocus},
    {S::SH_ToolButton_PopupDelay, 600},
};

constexpr int controlHeight = 15;
constexpr int menuSectionWidth = 15;

// PM_SliderControlThickness: the handle fills the groove less the room tick marks need.
int sliderControlThickness(const QStyleOption* option)
{
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!slider)
        return 0;
    const bool horizontal = slider->orientation == Qt::Horizontal;
    const int space = (horizontal ? slider->rect.height() : slider->rect.width()) - 4;
    const int sides = (slider->tickPosition & QSlider::TicksAbove ? 1 : 0) +
                      (slider->tickPosition & QSlider::TicksBelow ? 1 : 0);
    if (sides == 0)
        return space;
    const int thick = sides == 2 ? 6 : 11;
    return space - thick > 0 ? thick + (space - thick) * 2 / (sides + 2) : thick;
}

int tabWidth(int contentsWidth)
{
    if (contentsWidth <= 45)
        return 48;
    return contentsWidth <= 61 ? 64 : 96;
}

QSize pushButtonSize(const QStyleOption* option, const QSize& contents)
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    int width = contents.width() + 10;
    if (width < 75 && button->icon.isNull())
        width = 75;
    if (button->features & QStyleOptionButton::AutoDefaultButton)
        width += 2;
    return {width, controlHeight};
}

QSize headerSectionSize(const QStyleOption* option, const QSize& contents)
{
    const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
    if (!header)
        return contents;
    const int iconWidth = header->icon.isNull() ? 0 : 22;
    const int textWidth = header->fontMetrics.horizontalAdvance(header->text);
    int width = iconWidth + textWidth + 8;
    if (iconWidth > 0 && textWidth > 0)
        width += 4;
    return {width, controlHeight};
}

// The edit field shared by spin and combo boxes; `framed` is the spin box's frame or the
// combo box's editable flag.
QRect editFieldRect(int width, int height, bool framed)
{
    return framed ? QRect(QPoint(2, 1), QPoint(width - 15, height - 2))
                  : QRect(QPoint(0, -1), QPoint(width - 13, height - 2));
}

} // namespace

int QuorrelStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (const auto* row = findRow(metricTable, metric))
        return row->value;
    switch (metric)
    {
    case PM_SliderControlThickness:
        return sliderControlThickness(option);
    case PM_LayoutLeftMargin:
    case PM_LayoutTopMargin:
    case PM_LayoutRightMargin:
    case PM_LayoutBottomMargin:
    {
        const bool window = option ? (option->state & State_Window) : (widget && widget->isWindow());
        return window ? windowMargin : childMargin;
    }
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QSize QuorrelStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contents,
                                     const QWidget* widget) const
{
    const int w = contents.width();
    const int h = contents.height();
    switch (type)
    {
    case CT_PushButton:
        if (qstyleoption_cast<const QStyleOptionButton*>(option))
            return pushButtonSize(option, contents);
        break;
    case CT_CheckBox:
    case CT_RadioButton:
        return {controlHeight, controlHeight};
    case CT_ToolButton:
        return {w + 6, controlHeight};
    case CT_ComboBox:
        if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option))
            return {w + (combo->editable ? 27 : 23), controlHeight};
        return contents;
    case CT_ProgressBar:
    case CT_Slider:
    case CT_LineEdit:
    case CT_SpinBox:
        return {w, controlHeight};
    case CT_Splitter:
    case CT_Menu:
    case CT_ScrollBar:
    case CT_SizeGrip:
    case CT_GroupBox:
        return contents;
    case CT_MenuItem:
        return menuItemSize(option, contents, widget);
    case CT_MenuBarItem:
        return {w >= 1 && h >= 1 ? w + 12 : w, 22};
    case CT_MenuBar:
        return {QProxyStyle::sizeFromContents(type, option, contents, widget).width(), 23};
    case CT_TabBarTab:
        return {tabWidth(w), controlHeight};
    case CT_TabWidget:
        return {w + 4, h + 4};
    case CT_HeaderSection:
        return headerSectionSize(option, contents);
    default:
        break;
    }
    return QProxyStyle::sizeFromContents(type, option, contents, widget);
}

QSize QuorrelStyle::menuItemSize(const QStyleOption* option, const QSize& contents,
                                 const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item)
        return contents;
    int width = QProxyStyle::sizeFromContents(CT_MenuItem, option, contents, widget).width();
    if (item->icon.isNull())
        width -= 6;
    if (item->text.contains(QLatin1Char('\t')))
        width += 20;
    else if (item->menuItemType == QStyleOptionMenuItem::SubMenu)
        width += 12;
    else if (item->menuItemType == QStyleOptionMenuItem::DefaultItem)
    {
        QFont bold = item->font;
        bold.setBold(true);
        width += QFontMetrics(bold).horizontalAdvance(item->text) -
                 QFontMetrics(item->font).horizontalAdvance(item->text);
    }
    width += std::max(item->maxIconWidth, 20) + 25;
    const int height = item->menuItemType == QStyleOptionMenuItem::Separator ? 7 : 17;
    return {width, height};
}

QRect QuorrelStyle::subElementRect(SubElement element, const QStyleOption* option,
                                   const QWidget* widget) const
{
    if (!option)
        return QProxyStyle::subElementRect(element, option, widget);
    const QRect& r = option->rect;
    QRect result;
    switch (element)
    {
    case SE_CheckBoxIndicator:
    {
        const int top = r.top() + (r.bottom() - r.top() - 14) / 2;
        result = QRect(QPoint(r.left(), top), QPoint(r.left() + 14, top + 14));
        break;
    }
    case SE_CheckBoxContents:
    {
        const int indicatorLeft = r.left();
        const int indicatorRight = r.left() + 14;
        result = QRect(QPoint(indicatorRight + 6, r.top()),
                       QPoint(indicatorLeft + (r.right() - r.left()) - 1, r.bottom()));
        break;
    }
    case SE_SliderFocusRect:
    case SE_ToolBoxTabContents:
    case SE_LineEditContents:
        result = r;
        break;
    case SE_HeaderLabel:
        result = r.adjusted(4, 4, -4, -4);
        break;
    default:
        // The Windows style's own sub-element geometry is skipped on purpose.
        if (QCommonStyle* common = commonBase())
            return common->QCommonStyle::subElementRect(element, option, widget);
        return QProxyStyle::subElementRect(element, option, widget);
    }
    return visualRect(option->direction, r, result);
}

QRect QuorrelStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                   SubControl subControl, const QWidget* widget) const
{
    std::optional<QRect> result;
    switch (control)
    {
    case CC_SpinBox:
        result = spinBoxRect(option, subControl);
        break;
    case CC_ComboBox:
        result = comboBoxRect(option, subControl, widget);
        break;
    case CC_ToolButton:
        result = toolButtonRect(option, subControl);
        break;
    case CC_Slider:
        result = sliderRect(option, subControl, widget);
        break;
    case CC_ScrollBar:
        result = scrollBarRect(option, subControl);
        break;
    default:
        break;
    }
    if (result)
        return *result;
    // Group boxes and the rest take the common geometry, not the Windows style's.
    if (QCommonStyle* common = commonBase())
        return common->QCommonStyle::subControlRect(control, option, subControl, widget);
    return QProxyStyle::subControlRect(control, option, subControl, widget);
}

std::optional<QRect> QuorrelStyle::spinBoxRect(const QStyleOptionComplex* option, SubControl subControl) const
{
    const auto* spin = qstyleoption_cast<const QStyleOptionSpinBox*>(option);
    if (!spin)
        return std::nullopt;
    const int w = spin->rect.width();
    const int h = spin->rect.height();
    QRect rect;
    switch (subControl)
    {
    case SC_SpinBoxUp:
        rect = QRect(QPoint(w - 13, 2), QPoint(w - 3, 7));
        break;
    case SC_SpinBoxDown:
        rect = QRect(QPoint(w - 13, 8), QPoint(w - 3, 12));
        break;
    case SC_SpinBoxFrame:
    {
        QRect frame = spin->rect;
        frame.setHeight(controlHeight);
        return frame;
    }
    case SC_SpinBoxEditField:
        rect = editFieldRect(w, h, spin->frame);
        break;
    default:
        return std::nullopt;
    }
    return rect.translated(spin->rect.topLeft());
}

std::optional<QRect> QuorrelStyle::comboBoxRect(const QStyleOptionComplex* option, SubControl subControl,
                                                const QWidget* widget) const
{
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (!combo)
        return std::nullopt;
    const int w = combo->rect.width();
    const int h = combo->rect.height();
    QRect rect;
    switch (subControl)
    {
    case SC_ComboBoxFrame:
        return combo->rect;
    case SC_ComboBoxArrow:
    {
        const int inset = combo->editable ? 2 : 0;
        rect = QRect(QPoint(w - 1 - inset - 10, inset), QPoint(w - 1 - inset, inset + 10));
        break;
    }
    case SC_ComboBoxEditField:
        rect = editFieldRect(w, h, combo->editable);
        break;
    case SC_ComboBoxListBoxPopup:
    {
        QRect popup = combo->rect;
        if (const auto* box = qobject_cast<const QComboBox*>(widget))
        {
            // Long entries get a popup wide enough to read them.
            const QFontMetrics metrics = box->fontMetrics();
            int widest = 0;
            for (int i = 0; i < box->count(); ++i)
                widest = std::max(widest, metrics.horizontalAdvance(box->itemText(i)));
            popup.setWidth(std::max(popup.width(), widest + 30));
        }
        return popup;
    }
    default:
        return std::nullopt;
    }
    return rect.translated(combo->rect.topLeft());
}

std::optional<QRect> QuorrelStyle::toolButtonRect(const QStyleOptionComplex* option,
                                                  SubControl subControl) const
{
    const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
    if (!tool)
        return std::nullopt;
    const bool menuSection = (tool->features & QStyleOptionToolButton::Menu) &&
                             !(tool->features & QStyleOptionToolButton::PopupDelay);
    QRect rect = tool->rect;
    switch (subControl)
    {
    case SC_ToolButton:
        if (menuSection)
            rect.setRight(rect.right() - menuSectionWidth);
        return rect;
    case SC_ToolButtonMenu:
        if (menuSection)
            rect.setLeft(rect.right() - menuSectionWidth + 1);
        return rect;
    default:
        return std::nullopt;
    }
}

std::optional<QRect> QuorrelStyle::sliderRect(const QStyleOptionComplex* option, SubControl subControl,
                                              const QWidget* widget) const
{
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!slider)
        return std::nullopt;
    const bool horizontal = slider->orientation == Qt::Horizontal;
    const int w = slider->rect.width();
    const int h = slider->rect.height();
    QRect rect;
    switch (subControl)
    {
    case SC_SliderGroove:
        rect = horizontal ? QRect(QPoint(2, 2), QPoint(w - 4, 11)) : QRect(QPoint(2, 2), QPoint(11, h - 4));
        break;
    case SC_SliderHandle:
    {
        const int thickness = proxy()->pixelMetric(PM_SliderControlThickness, slider, widget);
        const int length = (horizontal ? w : h) - 1;
        const int pos = sliderPositionFromValue(slider->minimum, slider->maximum, slider->sliderPosition,
                                                length - 23, slider->upsideDown);
        rect = horizontal ? QRect(QPoint(pos + 2, 2), QPoint(pos + 22, thickness + 1))
                          : QRect(QPoint(2, pos + 2), QPoint(thickness + 1, pos + 22));
        break;
    }
    default:
        return std::nullopt;
    }
    return rect.translated(slider->rect.topLeft());
}

std::optional<QRect> QuorrelStyle::scrollBarRect(const QStyleOptionComplex* option,
                                                 SubControl subControl) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!bar)
        return std::nullopt;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const int length = horizontal ? bar->rect.width() : bar->rect.height();
    const int thickness = horizontal ? bar->rect.height() : bar->rect.width();
    const ScrollBarLayout layout = scrollBarLayout(*bar);

    // Built along the bar (x of a horizontal bar) and across it.
    const auto along = [&](int from, int acrossFrom, int to, int acrossTo)
    {
        const QRect rect = horizontal ? QRect(QPoint(from, acrossFrom), QPoint(to, acrossTo))
                                      : QRect(QPoint(acrossFrom, from), QPoint(acrossTo, to));
        return rect.translated(bar->rect.topLeft());
    };
    const int a = layout.buttonLength;
    const int s = layout.sliderStart;
    const int d = layout.sliderLength;
    switch (subControl)
    {
    case SC_ScrollBarAddLine:
        return along(length - a - 2, 2, length - 3, 12);
    case SC_ScrollBarSubLine:
    {
        const int odd = (a < 21 && a % 2 == 0) ? 1 : 0;
        return along(2, 2, a + 1 + odd, 12);
    }
    case SC_ScrollBarAddPage:
        return visualRect(bar->direction, bar->rect, along(s + d + 21, 2, layout.space + 18, 22));
    case SC_ScrollBarSubPage:
        return visualRect(bar->direction, bar->rect, along(23, 2, s + 24, 22));
    case SC_ScrollBarSlider:
        return visualRect(bar->direction, bar->rect, along(s + 23, 2, s + d + 22, 12));
    case SC_ScrollBarGroove:
        return visualRect(bar->direction, bar->rect, along(23, 2, length - 25, thickness - 3));
    default:
        return std::nullopt;
    }
}

QuorrelStyle::ScrollBarLayout QuorrelStyle::scrollBarLayout(const QStyleOptionSlider& bar)
{
    const bool horizontal = bar.orientation == Qt::Horizontal;
    const int length = horizontal ? bar.rect.width() : bar.rect.height();
    ScrollBarLayout layout;
    layout.space = length - 1 - 45;

    const qint64 range = qint64(bar.maximum) - bar.minimum;
    qint64 slider = layout.space;
    if (range != 0)
    {
        const qint64 total = qint64(bar.pageStep) + range;
        slider = total > 0 ? qint64(bar.pageStep) * layout.space / total : 0;
        // Huge ranges would give a slider too thin to grab.
        if (slider < 15 || range > (1 << 30) - 1)
            slider = 15;
        slider = std::min<qint64>(slider, layout.space);
    }
    layout.sliderLength = int(slider);
    layout.sliderStart = sliderPositionFromValue(bar.minimum, bar.maximum, bar.sliderPosition,
                                                 layout.space - layout.sliderLength, bar.upsideDown);
    const int half = length / 2;
    layout.buttonLength = half < 23 ? half - 2 : 21;
    return layout;
}

int QuorrelStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const
{
    if (const auto* row = findRow(hintTable, hint))
        return row->value;
    if (hint == SH_Table_GridLineColor)
        return option ? static_cast<int>(option->palette.color(QPalette::Window).rgb()) : -1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
