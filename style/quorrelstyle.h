#pragma once

#include "ninepiece.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QProxyStyle>

#include <array>
#include <optional>

class QStyleOptionSlider;

// The application style: a dark palette, a small fixed font, compact metrics, and controls
// painted from nine-piece images and gradients. Everything it does not paint or measure
// itself comes from the toolkit's "Windows" style underneath.
//
// Files: quorrelstyle.cpp (construction, polish, palette, font, tinting), metrics.cpp
// (metrics, sizes, rectangles, hints).
class QuorrelStyle : public QProxyStyle
{
    Q_OBJECT

public:
    QuorrelStyle();

    void polish(QPalette& palette) override;
    void polish(QApplication* application) override;
    void polish(QWidget* widget) override;
    QPalette standardPalette() const override;

    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget) const override;
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
    QIcon mSliderHorizontal;
    QIcon mSliderVertical;
    std::array<QImage, ArrowCount> mArrows;         // enabled tint
    std::array<QImage, ArrowCount> mDisabledArrows; // disabled tint
};
