#pragma once

#include <QColor>

// Every colour the style paints with, in one place. ColorTable keeps the numbering of the
// house colour table the images were designed against; only the entries this program paints
// with are carried (the others are greys, blues and signal colours nothing here refers to).
struct ColorTable
{
    static constexpr QColor colorWindow{57, 57, 57};                //   0
    static constexpr QColor colorWindowText{175, 176, 177};         //   1
    static constexpr QColor colorBase{41, 41, 41};                  //   2
    static constexpr QColor colorHighlight{71, 79, 95};             //   3
    static constexpr QColor colorHighlightedText{255, 255, 255};    //   4
    static constexpr QColor colorButton{41, 41, 41};                //   5
    static constexpr QColor colorButtonText{167, 175, 190};         //   6
    static constexpr QColor colorDisabledText{127, 133, 143};       //   7
    static constexpr QColor colorText{167, 175, 190};               //   8
    static constexpr QColor colorBrightText{0, 147, 221};           //   9
    static constexpr QColor colorDisabledWindowText{169, 169, 169}; //  10
    static constexpr QColor colorToolTipBase{255, 255, 220};        //  12
    static constexpr QColor colorFocus{236, 117, 0};                //  16
    static constexpr QColor colorAccent{0, 147, 221};               //  17
    static constexpr QColor colorFrameShadow{23, 23, 23};           //  25
    static constexpr QColor colorGrooveTop{42, 42, 42};             //  26
    static constexpr QColor colorGrooveBottom{76, 76, 76};          //  28
    static constexpr QColor colorFrame{68, 76, 91};                 //  33
};

// Colours of single elements that the house table does not name.
namespace ElementColors
{
// The bottom pieces of the menu-bar panel.
constexpr QColor menuBarBottom{34, 38, 45};

// Menu-bar items and the empty part of the bar share the released gradient.
constexpr QColor menuBarTop{58, 65, 78};
constexpr QColor menuBarBottomRow{40, 44, 53};
constexpr QColor menuBarPressedTop{32, 39, 52};
constexpr QColor menuBarPressedBottom{13, 18, 27};
constexpr QColor menuBarPressedTopLine{12, 15, 20};
constexpr QColor menuBarPressedCorner{28, 32, 38};
constexpr QColor menuBarPressedLeftTop{13, 16, 21};
constexpr QColor menuBarPressedLeftBottom{5, 7, 11};

// The filled part of a progress bar.
constexpr QColor progressChunkBottom{0, 53, 80};

// Splitter handle lines, after colorHighlight.
constexpr QColor splitterDark{33, 33, 34};
constexpr QColor splitterLight{46, 52, 62};

// Behind the parts of a scroll bar.
constexpr QColor scrollBarGroove{33, 33, 33};
} // namespace ElementColors

// The centre gradient of a button, top row to bottom row.
struct GradientPair
{
    QColor top;
    QColor bottom;
};

// The edges of a slider handle, in the order they are painted.
struct HandleColors
{
    QColor topLine;
    QColor topRightPoint;
    QColor rightColumnTop;
    QColor rightColumnBottom;
    QColor bottomLine;
    QColor bottomLeftPoint;
    QColor leftColumnTop;
    QColor leftColumnBottom;
    QColor grip;
};

// The six looks of a button-like panel. A state draws the eight border pieces of its own
// image set and fills the centre with its gradient; pressed looks are darker at the top.
enum class ButtonImageState
{
    Normal = 0,
    Highlight = 1,
    Disabled = 2,
    Pressed = 3,
    HighlightPressed = 4,
    DisabledPressed = 5
};

struct ButtonLook
{
    const char* imageSet;
    GradientPair gradient;
};

inline constexpr ButtonLook buttonLooks[6] = {
    {"pushbutton_normal", {{67, 75, 90}, {41, 46, 55}}},
    {"pushbutton_highlight", {{91, 109, 147}, {42, 50, 66}}},
    {"pushbutton_disabled", {{61, 62, 65}, {31, 32, 33}}},
    {"pushbutton_normal_pressed", {{22, 26, 30}, {43, 53, 66}}},
    {"pushbutton_hlPressed", {{30, 39, 55}, {81, 100, 139}}},
    {"pushbutton_disabledPressed", {{37, 41, 45}, {57, 67, 80}}},
};

// Slider handles are drawn line by line in the colours of the matching button look.
inline constexpr HandleColors sliderHandleColors[6] = {
    {{101, 111, 129},
     {89, 98, 113},
     {79, 85, 98},
     {63, 67, 76},
     {61, 65, 75},
     {71, 77, 88},
     {101, 110, 128},
     {83, 90, 104},
     {167, 175, 190}},
    {{135, 155, 188},
     {87, 95, 112},
     {21, 27, 33},
     {9, 10, 12},
     {9, 10, 12},
     {87, 95, 112},
     {134, 154, 187},
     {133, 152, 184},
     {167, 175, 190}},
    {{76, 78, 82},
     {61, 62, 65},
     {47, 48, 51},
     {20, 21, 22},
     {21, 22, 23},
     {48, 50, 52},
     {75, 77, 81},
     {50, 51, 54},
     {127, 133, 143}},
    {{72, 77, 87},
     {81, 87, 99},
     {92, 99, 113},
     {108, 117, 134},
     {108, 118, 136},
     {97, 106, 121},
     {74, 79, 88},
     {88, 95, 108},
     {255, 255, 255}},
    {{9, 10, 12},
     {87, 95, 112},
     {133, 152, 184},
     {135, 154, 187},
     {135, 155, 188},
     {87, 95, 112},
     {9, 10, 12},
     {21, 27, 33},
     {255, 255, 255}},
    {{22, 22, 23},
     {61, 63, 65},
     {63, 64, 65},
     {86, 87, 91},
     {86, 88, 92},
     {73, 74, 77},
     {21, 22, 22},
     {45, 46, 48},
     {127, 133, 143}},
};
