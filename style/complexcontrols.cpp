#include "colortable.h"
#include "painting.h"
#include "quorrelstyle.h"

#include <QPainter>
#include <QSlider>
#include <QStyleOption>

// Complex controls: tool buttons, combo and spin boxes, scroll bars, sliders, group boxes.

using namespace Painting;

void QuorrelStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                      QPainter* painter, const QWidget* widget) const
{
    if (!option || !painter)
        return;
    switch (control)
    {
    case CC_ToolButton:
        drawToolButton(option, painter, widget);
        return;
    case CC_ComboBox:
        drawComboBox(option, painter, widget);
        return;
    case CC_SpinBox:
        drawSpinBox(option, painter, widget);
        return;
    case CC_ScrollBar:
        drawScrollBar(option, painter, widget);
        return;
    case CC_Slider:
        drawSlider(option, painter, widget);
        return;
    case CC_GroupBox:
        drawGroupBox(option, painter, widget);
        return;
    default:
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
}

void QuorrelStyle::drawToolButton(const QStyleOptionComplex* option, QPainter* painter,
                                  const QWidget* widget) const
{
    const auto* tool = qstyleoption_cast<const QStyleOptionToolButton*>(option);
    if (!tool)
        return;
    proxy()->drawPrimitive(PE_PanelButtonTool, tool, painter, widget);
    if (tool->subControls & SC_ToolButtonMenu)
    {
        QStyleOption arrow(*tool);
        arrow.rect = proxy()->subControlRect(CC_ToolButton, tool, SC_ToolButtonMenu, widget);
        proxy()->drawPrimitive(PE_IndicatorArrowDown, &arrow, painter, widget);
    }
    QStyleOptionToolButton label = *tool;
    label.rect = proxy()->subControlRect(CC_ToolButton, tool, SC_ToolButton, widget).adjusted(2, 2, -2, -2);
    proxy()->drawControl(CE_ToolButtonLabel, &label, painter, widget);
    if (tool->state & State_HasFocus)
        drawFocusIndicator(painter, tool->rect);
}

void QuorrelStyle::drawComboBox(const QStyleOptionComplex* option, QPainter* painter,
                                const QWidget* widget) const
{
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (!combo)
        return;
    drawSunkenFrame(painter, combo->rect);
    if (combo->subControls & SC_ComboBoxArrow)
    {
        QStyleOptionButton button;
        button.QStyleOption::operator=(*combo);
        button.rect = proxy()->subControlRect(CC_ComboBox, combo, SC_ComboBoxArrow, widget);
        button.state = State_None;
        if (combo->state & State_Enabled)
        {
            button.state = State_Enabled | (combo->state & State_MouseOver);
            if (combo->activeSubControls == SC_ComboBoxArrow && (combo->state & State_Sunken))
                button.state |= State_Sunken;
        }
        proxy()->drawPrimitive(PE_PanelButtonCommand, &button, painter, widget);
        proxy()->drawPrimitive(PE_IndicatorArrowDown, &button, painter, widget);
    }
    if (combo->subControls & SC_ComboBoxEditField)
    {
        const QRect field = proxy()->subControlRect(CC_ComboBox, combo, SC_ComboBoxEditField, widget);
        painter->fillRect(field, combo->palette.brush(combo->state & State_HasFocus ? QPalette::Highlight
                                                                                    : QPalette::Base));
    }
}

void QuorrelStyle::drawSpinBox(const QStyleOptionComplex* option, QPainter* painter,
                               const QWidget* widget) const
{
    const auto* spin = qstyleoption_cast<const QStyleOptionSpinBox*>(option);
    if (!spin)
        return;
    if (spin->subControls & SC_SpinBoxEditField)
    {
        const QRect field = proxy()->subControlRect(CC_SpinBox, spin, SC_SpinBoxEditField, widget);
        painter->fillRect(
            field, spin->palette.brush(spin->state & State_HasFocus ? QPalette::Highlight : QPalette::Base));
    }

    const bool plusMinus = spin->buttonSymbols == QAbstractSpinBox::PlusMinus;
    const struct
    {
        SubControl subControl;
        QAbstractSpinBox::StepEnabledFlag step;
        PrimitiveElement arrow;
    } buttons[] = {
        {SC_SpinBoxUp, QAbstractSpinBox::StepUpEnabled,
         plusMinus ? PE_IndicatorSpinPlus : PE_IndicatorSpinUp},
        {SC_SpinBoxDown, QAbstractSpinBox::StepDownEnabled,
         plusMinus ? PE_IndicatorSpinMinus : PE_IndicatorSpinDown},
    };
    for (const auto& entry : buttons)
    {
        if (!(spin->subControls & entry.subControl))
            continue;
        QStyleOptionButton button;
        button.QStyleOption::operator=(*spin);
        button.rect = proxy()->subControlRect(CC_SpinBox, spin, entry.subControl, widget);
        button.state = State_None;
        if ((spin->stepEnabled & entry.step) && (spin->state & State_Enabled))
        {
            button.state = State_Enabled;
            if (spin->activeSubControls == entry.subControl && (spin->state & State_Sunken))
                button.state |= State_Sunken;
            else if (spin->activeSubControls == entry.subControl && (spin->state & State_MouseOver))
                button.state |= State_MouseOver;
        }
        proxy()->drawPrimitive(PE_PanelButtonCommand, &button, painter, widget);
        button.rect.adjust(3, 0, -4, 0);
        proxy()->drawPrimitive(entry.arrow, &button, painter, widget);
    }
    if (spin->frame)
        drawSunkenFrame(painter, proxy()->subControlRect(CC_SpinBox, spin, SC_SpinBoxFrame, widget));
}

void QuorrelStyle::drawScrollBar(const QStyleOptionComplex* option, QPainter* painter,
                                 const QWidget* widget) const
{
    const auto* original = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!original)
        return;
    // A bar with nothing to scroll still looks usable.
    QStyleOptionSlider bar = *original;
    if (bar.minimum == bar.maximum)
        bar.state |= State_Enabled;

    if (bar.subControls & SC_ScrollBarGroove)
    {
        painter->save();
        painter->fillRect(bar.rect, ElementColors::scrollBarGroove);
        painter->setPen(cosmeticPen(ColorTable::colorFrame));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(bar.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }

    static constexpr struct
    {
        SubControl subControl;
        ControlElement element;
    } parts[] = {{SC_ScrollBarSubLine, CE_ScrollBarSubLine},
                 {SC_ScrollBarAddLine, CE_ScrollBarAddLine},
                 {SC_ScrollBarFirst, CE_ScrollBarFirst},
                 {SC_ScrollBarLast, CE_ScrollBarLast},
                 {SC_ScrollBarSlider, CE_ScrollBarSlider}};
    for (const auto& part : parts)
    {
        if (!(bar.subControls & part.subControl))
            continue;
        QStyleOptionSlider partOption = bar;
        partOption.rect = proxy()->subControlRect(CC_ScrollBar, &bar, part.subControl, widget);
        if (!partOption.rect.isValid())
            continue;
        if (bar.activeSubControls != part.subControl)
            partOption.state &= ~(State_Sunken | State_MouseOver);
        proxy()->drawControl(part.element, &partOption, painter, widget);
    }
    if (bar.state & State_HasFocus)
        drawFocusIndicator(painter, proxy()->subControlRect(CC_ScrollBar, &bar, SC_ScrollBarSlider, widget));
}

void QuorrelStyle::drawSlider(const QStyleOptionComplex* option, QPainter* painter,
                              const QWidget* widget) const
{
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    const auto* sliderWidget = qobject_cast<const QSlider*>(widget);
    if (!slider || !sliderWidget)
        return;
    const QRect w = sliderWidget->rect();
    const bool horizontal = slider->orientation == Qt::Horizontal;
    const QSize bandSize = horizontal ? QSize(w.width(), 15) : QSize(15, w.height());
    if (bandSize.isEmpty())
        return;

    // Composed off-screen so the band never flickers while the handle moves.
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    QPixmap band(bandSize * ratio);
    band.setDevicePixelRatio(ratio);
    band.fill(slider->palette.color(QPalette::Active, QPalette::Base));
    {
        QPainter bandPainter(&band);
        const QRect handle =
            proxy()->subControlRect(CC_Slider, slider, SC_SliderHandle, widget).translated(-w.topLeft());
        const auto look = static_cast<int>(buttonImageState(slider->state));
        drawSliderHandle(&bandPainter, handle, sliderHandleColors[look], horizontal);
        drawSunkenFrame(&bandPainter, w.translated(-w.topLeft()));
    }
    painter->drawPixmap(w.topLeft(), band);
}

void QuorrelStyle::drawGroupBox(const QStyleOptionComplex* option, QPainter* painter,
                                const QWidget* widget) const
{
    const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (!group)
        return;
    painter->fillRect(group->rect, ColorTable::colorBase);
    if ((group->subControls & SC_GroupBoxLabel) && !group->text.isEmpty())
    {
        const QRect label =
            proxy()->subControlRect(CC_GroupBox, group, SC_GroupBoxLabel, widget).adjusted(-2, 0, 0, 0);
        proxy()->drawItemText(
            painter, label, int(group->textAlignment) | Qt::AlignHCenter | Qt::TextShowMnemonic,
            group->palette, group->state & State_Enabled, group->text, QPalette::HighlightedText);
    }
    if (group->subControls & SC_GroupBoxCheckBox)
    {
        QStyleOptionButton box;
        box.QStyleOption::operator=(*group);
        box.rect = proxy()->subControlRect(CC_GroupBox, group, SC_GroupBoxCheckBox, widget);
        proxy()->drawPrimitive(PE_IndicatorCheckBox, &box, painter, widget);
    }
}
