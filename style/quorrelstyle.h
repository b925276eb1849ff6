#pragma once

#include "ninepiece.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QProxyStyle>

#include <array>
#include <optional>

class QStyleOptionButton;
class QStyleOptionMenuItem;
class QStyleOptionSlider;
class QStyleOptionToolButton;

// The application style: a dark palette, a small fixed font, compact metrics, and controls
// painted from nine-piece images and gradients. Everything it does not paint or measure
// itself comes from the toolkit's "Windows" style underneath.
//
// Files: quorrelstyle.cpp (construction, polish, palette, font, tinting), metrics.cpp
// (metrics, sizes, rectangles, hints), primitives.cpp, controls.cpp, menuitem.cpp,
// complexcontrols.cpp (painting; helpers of painter, rectangle and images in painting.h).
class QuorrelStyle : public QProxyStyle
{
    Q_OBJECT

public:
    QuorrelStyle();

    void polish(QPalette& palette) override;
    void polish(QApplication* application) override;
    void polish(QWidget* widget) override;
    QPalette standardPalette() const override;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                           const QWidget* widget) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

    // "Arial" at 10 pixels (11 where the system language is Chinese), never antialiased.
    static QFont styleFont();

    // The image `name` (under ":/data/" unless it starts with ":/"), mirrored as asked, with
    // every pixel's colour replaced by `colour` and its alpha kept. Null when it can't be loaded.
    static QImage loadTintedImage(const QString& name, const QColor& colour, bool mirrorHorizontally,
                                  bool mirrorVertically);

    // The image in three tints: (Normal, On) BrightText, (Normal, Off) ButtonText,
    // (Disabled, Off) disabled ButtonText. Empty unless all three loaded.
    static QIcon createTintedIcon(const QPalette& palette, const QString& name, bool mirrorHorizontally,
                                  bool mirrorVertically);

protected:
    // Sends a later application palette through polish(QPalette&) again.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Arrow
    {
        ArrowUp,
        ArrowDown,
        ArrowLeft,
        ArrowRight,
        ArrowSmallUp,
        ArrowSmallDown,
        ArrowCount
    };

    void loadImages();
    void loadArrows(const QPalette& palette);
    QCommonStyle* commonBase() const;

    // Shared by several elements.
    const QImage& arrowImage(Arrow arrow, bool enabled) const;
    const QPixmap& checkCentre(bool on, bool enabled) const;
    void paintButtonPanel(QPainter* painter, const QRect& rect, State state) const;

    // primitives.cpp
    void drawSunkenFramePrimitive(const QStyleOption* option, QPainter* painter) const;
    void drawFocusRect(const QStyleOption* option, QPainter* painter) const;
    void drawMenuFrame(const QStyleOption* option, QPainter* painter) const;
    void drawTabWidgetFrame(const QStyleOption* option, QPainter* painter) const;
    void drawCommandPanel(const QStyleOption* option, QPainter* painter) const;
    void drawToolPanel(const QStyleOption* option, QPainter* painter) const;
    void drawMenuBarPanel(const QStyleOption* option, QPainter* painter) const;
    void drawLineEditPanel(const QStyleOption* option, QPainter* painter) const;
    void drawTipPanel(const QStyleOption* option, QPainter* painter) const;
    void drawArrowIndicator(PrimitiveElement element, const QStyleOption* option, QPainter* painter) const;
    void drawHeaderArrow(const QStyleOption* option, QPainter* painter) const;
    void drawCheckBoxIndicator(const QStyleOption* option, QPainter* painter) const;
    void drawMenuCheckMark(const QStyleOption* option, QPainter* painter) const;
    void drawItemViewCheck(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawBranch(const QStyleOption* option, QPainter* painter) const;

    // controls.cpp
    void drawPushButton(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawPushButtonIcon(const QStyleOptionButton& button, QPainter* painter) const;
    void drawCheckOrRadio(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                          bool radio) const;
    void drawCheckLabel(const QStyleOption* option, QPainter* painter) const;
    void drawTab(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawProgressBar(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawProgressContents(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawProgressLabel(const QStyleOption* option, QPainter* painter) const;
    void drawMenuBarItem(const QStyleOption* option, QPainter* painter) const;
    void drawMenuBarEmptyArea(QPainter* painter, const QWidget* widget) const;
    void drawToolButtonLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawToolButtonArrow(const QStyleOptionToolButton& tool, int shift, QPainter* painter,
                             const QWidget* widget) const;
    void drawToolButtonText(const QStyleOptionToolButton& tool, int shift, QPainter* painter,
                            const QWidget* widget) const;
    void drawToolButtonIcon(const QStyleOptionToolButton& tool, const QRect& rect, QPainter* painter) const;
    void drawToolButtonIconText(const QStyleOptionToolButton& tool, const QRect& rect, const QPixmap& pixmap,
                                QPainter* painter) const;
    void drawHeaderLabel(const QStyleOption* option, QPainter* painter) const;
    void drawSplitter(QPainter* painter, const QWidget* widget) const;
    void drawScrollBarLine(const QStyleOption* option, QPainter* painter, const QWidget* widget,
                           bool addLine) const;
    void drawScrollBarPage(const QStyleOption* option, QPainter* painter) const;
    void drawScrollBarSlider(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawComboBoxLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawShapedFrame(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;

    // menuitem.cpp
    void drawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawMenuItemCheck(const QStyleOptionMenuItem& item, const QRect& checkArea, QPainter* painter) const;
    void drawMenuItemIcon(const QStyleOptionMenuItem& item, const QRect& checkArea, QPainter* painter,
                          const QWidget* widget) const;
    void drawMenuItemText(const QStyleOptionMenuItem& item, QPainter* painter) const;
    void drawSubMenuArrow(const QStyleOptionMenuItem& item, QPainter* painter, const QWidget* widget) const;

    // complexcontrols.cpp
    void drawToolButton(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawComboBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawSpinBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawScrollBar(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawSlider(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void drawGroupBox(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;

    // metrics.cpp; an empty result leaves the rectangle to the common geometry.
    struct ScrollBarLayout
    {
        int space = 0; // between the arrow buttons
        int sliderLength = 0;
        int sliderStart = 0;  // within space
        int buttonLength = 0; // of each arrow button
    };
    static ScrollBarLayout scrollBarLayout(const QStyleOptionSlider& bar);
    QSize menuItemSize(const QStyleOption* option, const QSize& contentsSize, const QWidget* widget) const;
    std::optional<QRect> spinBoxRect(const QStyleOptionComplex* option, SubControl subControl) const;
    std::optional<QRect> comboBoxRect(const QStyleOptionComplex* option, SubControl subControl,
                                      const QWidget* widget) const;
    std::optional<QRect> toolButtonRect(const QStyleOptionComplex* option, SubControl subControl) const;
    std::optional<QRect> sliderRect(const QStyleOptionComplex* option, SubControl subControl,
                                    const QWidget* widget) const;
    std::optional<QRect> scrollBarRect(const QStyleOptionComplex* option, SubControl subControl) const;

    // Filled by polish(QPalette&), replaced wholesale on every palette polish.
    std::array<NinePiece, 6> mButtonSets; // indexed by ButtonImageState
    NinePiece mMenuBar;
    NinePiece mRadioNormal;
    NinePiece mRadioActive;
    QPixmap mCheckNormal;
    QPixmap mCheckActive;
    QPixmap mCheckDisabled;
    bool mImagesLoaded = false; // every image comes from the standard palette: read once
    QIcon mSliderHorizontal;
    QIcon mSliderVertical;
    std::array<QImage, ArrowCount> mArrows;         // enabled tint
    std::array<QImage, ArrowCount> mDisabledArrows; // disabled tint
};
