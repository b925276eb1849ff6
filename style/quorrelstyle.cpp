#include "quorrelstyle.h"

#include "colortable.h"
#include "imagefile.h"
#include "painting.h"

#include <QApplication>
#include <QCommonStyle>
#include <QEvent>
#include <QFont>
#include <QLocale>
#include <QStyleFactory>
#include <QWidget>

// Q_INIT_RESOURCE declares the registration function in the enclosing namespace, so it must
// be called from outside any namespace.
static void registerStyleResources()
{
    Q_INIT_RESOURCE(talvane);
}

namespace
{

// The images are also there for code that runs before the style exists.
[[maybe_unused]] const bool resourcesRegisteredAtStartUp = (registerStyleResources(), true);

const QString styleImageDir = QStringLiteral(":/data/style/");

struct ArrowSource
{
    int arrow; // QuorrelStyle's Arrow
    const char* file;
    bool mirrorHorizontally;
    bool mirrorVertically;
};

// Down and left arrows are the up and right images turned over.
constexpr ArrowSource arrowSources[] = {
    {0, "arrow_up.png", false, false},       {1, "arrow_up.png", false, true},
    {2, "arrow_right.png", true, false},     {3, "arrow_right.png", false, false},
    {4, "arrow_up_small.png", false, false}, {5, "arrow_up_small.png", false, true},
};

// The widgets that paint a hover look; the rest are spared the extra repaints.
constexpr const char* hoverClasses[] = {"QPushButton", "QToolButton", "QButton",   "QTabBar",
                                        "QScrollBar",  "QSlider",     "QComboBox", "QRadioButton"};

} // namespace

QuorrelStyle::QuorrelStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows")))
{
    registerStyleResources();
}

QCommonStyle* QuorrelStyle::commonBase() const
{
    return qobject_cast<QCommonStyle*>(baseStyle());
}

void QuorrelStyle::polish(QPalette& palette)
{
    palette = standardPalette();
    // Qt polishes the palette more than once while a window starts. Every image, the tinted
    // ones included, follows from the standard palette alone, so they are read on the first call.
    if (mImagesLoaded)
        return;
    loadImages();
    mSliderHorizontal = createTintedIcon(palette, QStringLiteral("slider.png"), false, false);
    mSliderVertical = createTintedIcon(palette, QStringLiteral("slider_rotate.png"), false, false);
    loadArrows(palette);
    mImagesLoaded = true;
}

void QuorrelStyle::polish(QApplication* application)
{
    if (!application)
        return;
    QApplication::setPalette(standardPalette());
    QApplication::setFont(styleFont());
    // The style owns the application palette: one set later is polished back (see eventFilter).
    application->installEventFilter(this);
}

void QuorrelStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    if (!widget)
        return;
    for (const char* className : hoverClasses)
    {
        if (widget->inherits(className))
        {
            widget->setAttribute(Qt::WA_Hover);
            break;
        }
    }
    if (widget->inherits("QFileDialog") && widget->windowFlags().testFlag(Qt::WindowContextHelpButtonHint))
        widget->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

QPalette QuorrelStyle::standardPalette() const
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setFont(styleFont());

    QPalette palette(ColorTable::colorWindow, ColorTable::colorWindow);
    struct RoleColours
    {
        QPalette::ColorRole role;
        QColor normal;   // Active and Inactive
        QColor disabled; // Disabled
    };
    const RoleColours roles[] = {
        {QPalette::Window, ColorTable::colorWindow, ColorTable::colorWindow},
        {QPalette::WindowText, ColorTable::colorWindowText, ColorTable::colorDisabledWindowText},
        {QPalette::AlternateBase, ColorTable::colorBase, ColorTable::colorBase},
        {QPalette::Base, ColorTable::colorBase, ColorTable::colorBase},
        {QPalette::Text, ColorTable::colorText, ColorTable::colorDisabledText},
        {QPalette::Highlight, ColorTable::colorHighlight, ColorTable::colorHighlight},
        {QPalette::HighlightedText, ColorTable::colorHighlightedText, ColorTable::colorDisabledWindowText},
        {QPalette::Button, ColorTable::colorButton, ColorTable::colorButton},
        {QPalette::ButtonText, ColorTable::colorButtonText, ColorTable::colorDisabledText},
        {QPalette::BrightText, ColorTable::colorBrightText, ColorTable::colorDisabledWindowText},
    };
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    {
        for (const RoleColours& entry : roles)
            palette.setBrush(group, entry.role, group == QPalette::Disabled ? entry.disabled : entry.normal);
    }
    return palette;
}

QFont QuorrelStyle::styleFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(QLocale::system().language() == QLocale::Chinese ? 11 : 10);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QImage QuorrelStyle::loadTintedImage(const QString& name, const QColor& colour, bool mirrorHorizontally,
                                     bool mirrorVertically)
{
    const QString path = name.startsWith(QLatin1String(":/")) ? name : QLatin1String(":/data/") + name;
    QImage image = readStyleImage(path).mirrored(mirrorHorizontally, mirrorVertically);
    if (image.isNull())
        return image;
    // Tinting works on plain (not premultiplied) 32-bit pixels so that alpha survives untouched.
    if (image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb tint = colour.rgb() & RGB_MASK;
    for (int y = 0; y < image.height(); ++y)
    {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = (line[x] & ~RGB_MASK) | tint;
    }
    return image;
}

QIcon QuorrelStyle::createTintedIcon(const QPalette& palette, const QString& name, bool mirrorHorizontally,
                                     bool mirrorVertically)
{
    const QImage on = loadTintedImage(name, palette.color(QPalette::Active, QPalette::BrightText),
                                      mirrorHorizontally, mirrorVertically);
    const QImage off = loadTintedImage(name, palette.color(QPalette::Active, QPalette::ButtonText),
                                       mirrorHorizontally, mirrorVertically);
    const QImage disabled = loadTintedImage(name, palette.color(QPalette::Disabled, QPalette::ButtonText),
                                            mirrorHorizontally, mirrorVertically);
    QIcon icon;
    if (on.isNull() || off.isNull() || disabled.isNull())
        return icon;
    icon.addPixmap(QPixmap::fromImage(on), QIcon::Normal, QIcon::On);
    icon.addPixmap(QPixmap::fromImage(off), QIcon::Normal, QIcon::Off);
    icon.addPixmap(QPixmap::fromImage(disabled), QIcon::Disabled, QIcon::Off);
    return icon;
}

bool QuorrelStyle::eventFilter(QObject* watched, QEvent* event)
{
    // The toolkit resolves an application palette against the style's instead of polishing it;
    // polishing it here keeps the whole window in the style's colours.
    if (event->type() == QEvent::ApplicationPaletteChange && watched == QCoreApplication::instance() &&
        QApplication::style() == this)
    {
        QPalette palette = QApplication::palette();
        polish(palette);
        if (palette != QApplication::palette())
            QApplication::setPalette(palette);
    }
    return QProxyStyle::eventFilter(watched, event);
}

void QuorrelStyle::loadImages()
{
    for (std::size_t state = 0; state < mButtonSets.size(); ++state)
        mButtonSets[state] = NinePiece::load(styleImageDir + QLatin1String(buttonLooks[state].imageSet));
    mMenuBar = NinePiece::load(styleImageDir + QLatin1String("menubar"));
    mRadioNormal = NinePiece::load(styleImageDir + QLatin1String("radio_normal"));
    mRadioActive = NinePiece::load(styleImageDir + QLatin1String("radio_active"));
    mCheckNormal = readStylePixmap(styleImageDir + QLatin1String("check_normal_9.png"));
    mCheckActive = readStylePixmap(styleImageDir + QLatin1String("check_active_9.png"));
    mCheckDisabled = readStylePixmap(styleImageDir + QLatin1String("check_disabled_9.png"));
}

void QuorrelStyle::loadArrows(const QPalette& palette)
{
    const QColor enabled = palette.color(QPalette::Active, QPalette::ButtonText);
    const QColor disabled = palette.color(QPalette::Disabled, QPalette::ButtonText);
    for (const ArrowSource& source : arrowSources)
    {
        const QString file = QLatin1String(source.file);
        mArrows[source.arrow] =
            loadTintedImage(file, enabled, source.mirrorHorizontally, source.mirrorVertically);
        mDisabledArrows[source.arrow] =
            loadTintedImage(file, disabled, source.mirrorHorizontally, source.mirrorVertically);
    }
}
const QImage& QuorrelStyle::arrowImage(Arrow arrow, bool enabled) const
{
    return enabled ? mArrows[arrow] : mDisabledArrows[arrow];
}

const QPixmap& QuorrelStyle::checkCentre(bool on, bool enabled) const
{
    if (!on)
        return mCheckNormal;
    return enabled ? mCheckActive : mCheckDisabled;
}

void QuorrelStyle::paintButtonPanel(QPainter* painter, const QRect& rect, State state) const
{
    const auto look = static_cast<std::size_t>(Painting::buttonImageState(state));
    const GradientPair& gradient = buttonLooks[look].gradient;
    Painting::drawFramedGradient(painter, rect, 1, mButtonSets[look], gradient.top, gradient.bottom);
}
