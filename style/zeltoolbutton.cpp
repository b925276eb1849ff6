#include "zeltoolbutton.h"

#include <QPainter>
#include <QStyleOptionToolButton>

ZelToolButton::ZelToolButton(QWidget* parent) : QToolButton(parent)
{
    setAlignment(Qt::AlignCenter);
}

void ZelToolButton::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    option.text = text();
    // A split button shows only its menu section: an arrow type would take the label's place.
    if (popupMode() == QToolButton::MenuButtonPopup)
        option.features = QStyleOptionToolButton::Menu;
    style()->drawComplexControl(QStyle::CC_ToolButton, &option, &painter, this);
}
