// The geometry the style reports: pixel metrics, content sizes, sub-element and sub-control
// rectangles, style hints.
#include "quorrelstyle.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTest>
#include <QTextLayout>

#include <functional>
#include <memory>

// Shared pointers: QStyleOption has no virtual destructor, and a shared pointer made from the
// derived type deletes it as that type.
using OptionFactory = std::function<std::shared_ptr<QStyleOption>()>;
Q_DECLARE_METATYPE(OptionFactory)
Q_DECLARE_METATYPE(QStyle::PixelMetric)
Q_DECLARE_METATYPE(QStyle::ContentsType)
Q_DECLARE_METATYPE(QStyle::SubElement)
Q_DECLARE_METATYPE(QStyle::StyleHint)
Q_DECLARE_METATYPE(QStyle::SubControl)
Q_DECLARE_METATYPE(QStyle::ComplexControl)

namespace
{

template <typename T> OptionFactory make(std::function<void(T&)> setUp = {})
{
    return [setUp]
    {
        auto option = std::make_shared<T>();
        if (setUp)
            setUp(*option);
        return std::shared_ptr<QStyleOption>(std::move(option));
    };
}

OptionFactory noOption()
{
    return [] { return std::shared_ptr<QStyleOption>(); };
}

OptionFactory slider(Qt::Orientation orientation, QSize size, QSlider::TickPosition ticks)
{
    return make<QStyleOptionSlider>(
        [=](QStyleOptionSlider& o)
        {
            o.orientation = orientation;
            o.rect = QRect(QPoint(0, 0), size);
            o.tickPosition = ticks;
        });
}

OptionFactory scrollBar(Qt::Orientation orientation, QSize size, int minimum, int maximum, int pageStep,
                        int position, Qt::LayoutDirection direction = Qt::LeftToRight)
{
    return make<QStyleOptionSlider>(
        [=](QStyleOptionSlider& o)
        {
            o.orientation = orientation;
            o.rect = QRect(QPoint(0, 0), size);
            o.minimum = minimum;
            o.maximum = maximum;
            o.pageStep = pageStep;
            o.sliderPosition = position;
            o.sliderValue = position;
            o.direction = direction;
        });
}

QRect corners(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The width of `text` on one line, as the text layout engine sets it in `font`.
int laidOutWidth(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    return qRound(line.naturalTextWidth());
}

} // namespace

class TstStyleGeometry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void pixelMetric_data();
    void pixelMetric();
    void unlistedMetricComesFromWindowsStyle();

    void sizeFromContents_data();
    void sizeFromContents();
    void menuItemSize_data();
    void menuItemSize();

    void subElementRect_data();
    void subElementRect();

    void subControlRect_data();
    void subControlRect();
    void comboPopupFitsWidestItem_data();
    void comboPopupFitsWidestItem();

    void styleHint_data();
    void styleHint();
    void unlistedHintComesFromWindowsStyle();

private:
    QuorrelStyle* mStyle = nullptr;
};

void TstStyleGeometry::initTestCase()
{
    mStyle = new QuorrelStyle;
    QApplication::setStyle(mStyle);
    QCOMPARE(QApplication::style(), mStyle);
}

void TstStyleGeometry::pixelMetric_data()
{
    QTest::addColumn<QStyle::PixelMetric>("metric");
    QTest::addColumn<OptionFactory>("option");
    QTest::addColumn<int>("expected");

    const struct
    {
        const char* name;
        QStyle::PixelMetric metric;
        int value;
    } fixed[] = {
        {"PM_ButtonMargin", QStyle::PM_ButtonMargin, 6},
        {"PM_ButtonDefaultIndicator", QStyle::PM_ButtonDefaultIndicator, 1},
        {"PM_MenuButtonIndicator", QStyle::PM_MenuButtonIndicator, 15},
        {"PM_ButtonShiftHorizontal", QStyle::PM_ButtonShiftHorizontal, 1},
        {"PM_ButtonShiftVertical", QStyle::PM_ButtonShiftVertical, 1},
        {"PM_DefaultFrameWidth", QStyle::PM_DefaultFrameWidth, 2},
        {"PM_SpinBoxFrameWidth", QStyle::PM_SpinBoxFrameWidth, 2},
        {"PM_ComboBoxFrameWidth", QStyle::PM_ComboBoxFrameWidth, 2},
        {"PM_MaximumDragDistance", QStyle::PM_MaximumDragDistance, 60},
        {"PM_ScrollBarExtent", QStyle::PM_ScrollBarExtent, 15},
        {"PM_ScrollBarSliderMin", QStyle::PM_ScrollBarSliderMin, 15},
        {"PM_SliderThickness", QStyle::PM_SliderThickness, 21},
        {"PM_SliderLength", QStyle::PM_SliderLength, 21},
        {"PM_SliderTickmarkOffset", QStyle::PM_SliderTickmarkOffset, 2},
        {"PM_DockWidgetSeparatorExtent", QStyle::PM_DockWidgetSeparatorExtent, 6},
        {"PM_TabBarTabOverlap", QStyle::PM_TabBarTabOverlap, 3},
        {"PM_TabBarTabHSpace", QStyle::PM_TabBarTabHSpace, 3},
        {"PM_TabBarTabVSpace", QStyle::PM_TabBarTabVSpace, 3},
        {"PM_TabBarBaseHeight", QStyle::PM_TabBarBaseHeight, 5},
        {"PM_TabBarBaseOverlap", QStyle::PM_TabBarBaseOverlap, -1},
        {"PM_ProgressBarChunkWidth", QStyle::PM_ProgressBarChunkWidth, 9},
        {"PM_SplitterWidth", QStyle::PM_SplitterWidth, 9},
        {"PM_MenuScrollerHeight", QStyle::PM_MenuScrollerHeight, 10},
        {"PM_MenuHMargin", QStyle::PM_MenuHMargin, 0},
        {"PM_MenuVMargin", QStyle::PM_MenuVMargin, 0},
        {"PM_MenuDesktopFrameWidth", QStyle::PM_MenuDesktopFrameWidth, 0},
        {"PM_MenuBarPanelWidth", QStyle::PM_MenuBarPanelWidth, 0},
        {"PM_MenuBarItemSpacing", QStyle::PM_MenuBarItemSpacing, 0},
        {"PM_MenuBarVMargin", QStyle::PM_MenuBarVMargin, 0},
        {"PM_MenuBarHMargin", QStyle::PM_MenuBarHMargin, 0},
        {"PM_TabBarTabShiftHorizontal", QStyle::PM_TabBarTabShiftHorizontal, 0},
        {"PM_MenuPanelWidth", QStyle::PM_MenuPanelWidth, 1},
        {"PM_ToolTipLabelFrameWidth", QStyle::PM_ToolTipLabelFrameWidth, 1},
        {"PM_IndicatorWidth", QStyle::PM_IndicatorWidth, 15},
        {"PM_IndicatorHeight", QStyle::PM_IndicatorHeight, 15},
        {"PM_ExclusiveIndicatorWidth", QStyle::PM_ExclusiveIndicatorWidth, 12},
        {"PM_ExclusiveIndicatorHeight", QStyle::PM_ExclusiveIndicatorHeight, 12},
        {"PM_HeaderMargin", QStyle::PM_HeaderMargin, 4},
        {"PM_HeaderGripMargin", QStyle::PM_HeaderGripMargin, 4},
        {"PM_TabBarTabShiftVertical", QStyle::PM_TabBarTabShiftVertical, 2},
        {"PM_TabBarScrollButtonWidth", QStyle::PM_TabBarScrollButtonWidth, 16},
        {"PM_ListViewIconSize", QStyle::PM_ListViewIconSize, 16},
        {"PM_SmallIconSize", QStyle::PM_SmallIconSize, 16},
        {"PM_TabBarIconSize", QStyle::PM_TabBarIconSize, 16},
        {"PM_LayoutHorizontalSpacing (layout spacing 6)", QStyle::PM_LayoutHorizontalSpacing, 6},
        {"PM_LayoutVerticalSpacing (layout spacing 6)", QStyle::PM_LayoutVerticalSpacing, 6},
        {"PM_CheckBoxLabelSpacing", QStyle::PM_CheckBoxLabelSpacing, 6},
        {"PM_ToolBarIconSize", QStyle::PM_ToolBarIconSize, 24},
        {"PM_IconViewIconSize", QStyle::PM_IconViewIconSize, 32},
        {"PM_LargeIconSize", QStyle::PM_LargeIconSize, 32},
        {"PM_DockWidgetTitleMargin", QStyle::PM_DockWidgetTitleMargin, 3},
    };
    for (const auto& row : fixed)
        QTest::newRow(row.name) << row.metric << noOption() << row.value;

    const auto window = make<QStyleOption>([](QStyleOption& o) { o.state |= QStyle::State_Window; });
    QTest::newRow("layout margin of a window is 11") << QStyle::PM_LayoutLeftMargin << window << 11;
    QTest::newRow("layout bottom margin of a window is 11") << QStyle::PM_LayoutBottomMargin << window << 11;
    QTest::newRow("layout margin of a child is 9") << QStyle::PM_LayoutTopMargin << make<QStyleOption>() << 9;
    QTest::newRow("layout right margin of a child is 9")
        << QStyle::PM_LayoutRightMargin << make<QStyleOption>() << 9;

    const auto thickness = QStyle::PM_SliderControlThickness;
    QTest::newRow("slider thickness, 21 high, no ticks")
        << thickness << slider(Qt::Horizontal, {100, 21}, QSlider::NoTicks) << 17;
    QTest::newRow("slider thickness, 21 high, ticks above")
        << thickness << slider(Qt::Horizontal, {100, 21}, QSlider::TicksAbove) << 15;
    QTest::newRow("slider thickness, 21 high, ticks below")
        << thickness << slider(Qt::Horizontal, {100, 21}, QSlider::TicksBelow) << 15;
    QTest::newRow("slider thickness, 21 high, ticks both sides")
        << thickness << slider(Qt::Horizontal, {100, 21}, QSlider::TicksBothSides) << 11;
    QTest::newRow("slider thickness, vertical 21 wide, no ticks")
        << thickness << slider(Qt::Vertical, {21, 100}, QSlider::NoTicks) << 17;
    QTest::newRow("slider thickness, vertical uses the width")
        << thickness << slider(Qt::Vertical, {30, 15}, QSlider::NoTicks) << 26;
    QTest::newRow("slider thickness, too little room for ticks on one side")
        << thickness << slider(Qt::Horizontal, {100, 12}, QSlider::TicksAbove) << 11;
    QTest::newRow("slider thickness, too little room for ticks on both sides")
        << thickness << slider(Qt::Horizontal, {100, 10}, QSlider::TicksBothSides) << 6;
    QTest::newRow("slider thickness, 15 high (the slider's own height)")
        << thickness << slider(Qt::Horizontal, {100, 15}, QSlider::NoTicks) << 11;
    QTest::newRow("slider thickness, not a slider option") << thickness << make<QStyleOption>() << 0;
    QTest::newRow("slider thickness, no option") << thickness << noOption() << 0;
}

void TstStyleGeometry::pixelMetric()
{
    QFETCH(QStyle::PixelMetric, metric);
    QFETCH(OptionFactory, option);
    QFETCH(int, expected);
    const auto opt = option();
    QCOMPARE(mStyle->pixelMetric(metric, opt.get(), nullptr), expected);
}

void TstStyleGeometry::unlistedMetricComesFromWindowsStyle()
{
    std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
    for (const auto metric :
         {QStyle::PM_TitleBarHeight, QStyle::PM_ToolBarHandleExtent, QStyle::PM_DockWidgetFrameWidth})
        QCOMPARE(mStyle->pixelMetric(metric), windows->pixelMetric(metric));
}

void TstStyleGeometry::sizeFromContents_data()
{
    QTest::addColumn<QStyle::ContentsType>("type");
    QTest::addColumn<OptionFactory>("option");
    QTest::addColumn<QSize>("contents");
    QTest::addColumn<QSize>("expected");

    const auto button = make<QStyleOptionButton>();
    const auto autoDefault = make<QStyleOptionButton>(
        [](QStyleOptionButton& o) { o.features |= QStyleOptionButton::AutoDefaultButton; });
    const auto withIcon = make<QStyleOptionButton>(
        [](QStyleOptionButton& o)
        {
            QPixmap pixmap(16, 16);
            pixmap.fill(Qt::red);
            o.icon = QIcon(pixmap);
        });
    QTest::newRow("push button, short text, no icon: 75 wide")
        << QStyle::CT_PushButton << button << QSize(20, 30) << QSize(75, 15);
    QTest::newRow("push button, auto-default: 77 wide")
        << QStyle::CT_PushButton << autoDefault << QSize(20, 30) << QSize(77, 15);
    QTest::newRow("push button, 65 wide text just reaches 75")
        << QStyle::CT_PushButton << button << QSize(65, 10) << QSize(75, 15);
    QTest::newRow("push button, long text")
        << QStyle::CT_PushButton << button << QSize(100, 10) << QSize(110, 15);
    QTest::newRow("push button, long text, auto-default")
        << QStyle::CT_PushButton << autoDefault << QSize(100, 10) << QSize(112, 15);
    QTest::newRow("push button with icon may be narrower than 75")
        << QStyle::CT_PushButton << withIcon << QSize(20, 16) << QSize(30, 15);

    for (const auto type : {QStyle::CT_CheckBox, QStyle::CT_RadioButton})
    {
        const char* name = type == QStyle::CT_CheckBox ? "check box" : "radio button";
        QTest::addRow("%s, long text: 15 x 15", name) << type << button << QSize(200, 30) << QSize(15, 15);
        QTest::addRow("%s, no contents: 15 x 15", name) << type << noOption() << QSize(0, 0) << QSize(15, 15);
    }
    QTest::newRow("tool button") << QStyle::CT_ToolButton << make<QStyleOptionToolButton>() << QSize(30, 20)
                                 << QSize(36, 15);

    const auto combo = make<QStyleOptionComboBox>();
    const auto editableCombo = make<QStyleOptionComboBox>([](QStyleOptionComboBox& o) { o.editable = true; });
    QTest::newRow("combo box") << QStyle::CT_ComboBox << combo << QSize(50, 20) << QSize(73, 15);
    QTest::newRow("combo box, editable")
        << QStyle::CT_ComboBox << editableCombo << QSize(50, 20) << QSize(77, 15);
    QTest::newRow("combo box, other option: unchanged")
        << QStyle::CT_ComboBox << button << QSize(50, 20) << QSize(50, 20);

    const struct
    {
        const char* name;
        QStyle::ContentsType type;
    } fifteenHigh[] = {{"progress bar", QStyle::CT_ProgressBar},
                       {"slider", QStyle::CT_Slider},
                       {"line edit", QStyle::CT_LineEdit},
                       {"spin box", QStyle::CT_SpinBox}};
    for (const auto& row : fifteenHigh)
        QTest::addRow("%s: 15 high", row.name) << row.type << noOption() << QSize(80, 30) << QSize(80, 15);

    const struct
    {
        const char* name;
        QStyle::ContentsType type;
    } unchanged[] = {{"splitter", QStyle::CT_Splitter},
                     {"menu", QStyle::CT_Menu},
                     {"scroll bar", QStyle::CT_ScrollBar},
                     {"size grip", QStyle::CT_SizeGrip},
                     {"group box", QStyle::CT_GroupBox}};
    for (const auto& row : unchanged)
        QTest::addRow("%s: unchanged", row.name) << row.type << noOption() << QSize(80, 30) << QSize(80, 30);

    const auto menuItem = make<QStyleOptionMenuItem>();
    QTest::newRow("menu bar item") << QStyle::CT_MenuBarItem << menuItem << QSize(40, 10) << QSize(52, 22);
    QTest::newRow("menu bar item, empty width")
        << QStyle::CT_MenuBarItem << menuItem << QSize(0, 10) << QSize(0, 22);
    QTest::newRow("menu bar item, empty height")
        << QStyle::CT_MenuBarItem << menuItem << QSize(40, 0) << QSize(40, 22);
    QTest::newRow("menu bar: 23 high") << QStyle::CT_MenuBar << menuItem << QSize(300, 10) << QSize(300, 23);

    const auto tab = make<QStyleOptionTab>();
    QTest::newRow("tab up to 45 wide: 48") << QStyle::CT_TabBarTab << tab << QSize(45, 20) << QSize(48, 15);
    QTest::newRow("tab of nothing: 48") << QStyle::CT_TabBarTab << tab << QSize(0, 20) << QSize(48, 15);
    QTest::newRow("tab 46 wide: 64") << QStyle::CT_TabBarTab << tab << QSize(46, 20) << QSize(64, 15);
    QTest::newRow("tab 61 wide: 64") << QStyle::CT_TabBarTab << tab << QSize(61, 20) << QSize(64, 15);
    QTest::newRow("tab 62 wide: 96") << QStyle::CT_TabBarTab << tab << QSize(62, 20) << QSize(96, 15);
    QTest::newRow("tab 300 wide: 96") << QStyle::CT_TabBarTab << tab << QSize(300, 20) << QSize(96, 15);
    QTest::newRow("tab widget") << QStyle::CT_TabWidget << noOption() << QSize(100, 50) << QSize(104, 54);

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(10);
    const QFontMetrics metrics(font);
    const int textWidth = metrics.horizontalAdvance(QStringLiteral("Serial"));
    const auto header = [font](QString text, bool icon)
    {
        return make<QStyleOptionHeader>(
            [=](QStyleOptionHeader& o)
            {
                o.text = text;
                o.fontMetrics = QFontMetrics(font);
                if (icon)
                {
                    QPixmap pixmap(16, 16);
                    pixmap.fill(Qt::red);
                    o.icon = QIcon(pixmap);
                }
            });
    };
    QTest::newRow("header section, text only")
        << QStyle::CT_HeaderSection << header(QStringLiteral("Serial"), false) << QSize(10, 10)
        << QSize(textWidth + 8, 15);
    QTest::newRow("header section, icon and text")
        << QStyle::CT_HeaderSection << header(QStringLiteral("Serial"), true) << QSize(10, 10)
        << QSize(22 + textWidth + 8 + 4, 15);
    QTest::newRow("header section, icon only")
        << QStyle::CT_HeaderSection << header(QString(), true) << QSize(10, 10) << QSize(30, 15);
    QTest::newRow("header section, empty")
        << QStyle::CT_HeaderSection << header(QString(), false) << QSize(10, 10) << QSize(8, 15);
    QTest::newRow("header section, other option: unchanged")
        << QStyle::CT_HeaderSection << button << QSize(10, 10) << QSize(10, 10);
}

void TstStyleGeometry::sizeFromContents()
{
    QFETCH(QStyle::ContentsType, type);
    QFETCH(OptionFactory, option);
    QFETCH(QSize, contents);
    QFETCH(QSize, expected);
    const auto opt = option();
    QCOMPARE(mStyle->sizeFromContents(type, opt.get(), contents, nullptr), expected);
}

void TstStyleGeometry::menuItemSize_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("icon");
    QTest::addColumn<int>("maxIconWidth");
    QTest::addColumn<int>("extraWidth"); // over the Windows style's width
    QTest::addColumn<int>("height");

    using M = QStyleOptionMenuItem;
    QTest::newRow("plain item without icon") << int(M::Normal) << "Open" << false << 0 << -6 + 20 + 25 << 17;
    QTest::newRow("item with icon") << int(M::Normal) << "Open" << true << 16 << 20 + 25 << 17;
    QTest::newRow("wide icons widen the item") << int(M::Normal) << "Open" << true << 32 << 32 + 25 << 17;
    QTest::newRow("shortcut after a tab")
        << int(M::Normal) << "Open\tCtrl+O" << false << 0 << -6 + 20 + 20 + 25 << 17;
    QTest::newRow("sub-menu item") << int(M::SubMenu) << "Recent" << false << 0 << -6 + 12 + 20 + 25 << 17;
    QTest::newRow("sub-menu item with a tab counts the tab only")
        << int(M::SubMenu) << "Recent\tx" << false << 0 << -6 + 20 + 20 + 25 << 17;
    QTest::newRow("separator is 7 high") << int(M::Separator) << "" << false << 0 << -6 + 20 + 25 << 7;
    // The default item's bold text is wider; the difference is added below.
    QTest::newRow("default item") << int(M::DefaultItem) << "Create Certificate" << false << 0 << -6 + 20 + 25
                                  << 17;
}

void TstStyleGeometry::menuItemSize()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(bool, icon);
    QFETCH(int, maxIconWidth);
    QFETCH(int, extraWidth);
    QFETCH(int, height);

    QStyleOptionMenuItem item;
    item.menuItemType = QStyleOptionMenuItem::MenuItemType(type);
    item.text = text;
    item.maxIconWidth = maxIconWidth;
    item.font = QApplication::font();
    if (icon)
    {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::red);
        item.icon = QIcon(pixmap);
    }
    const QSize contents(60, 12);
    int expected =
        mStyle->baseStyle()->sizeFromContents(QStyle::CT_MenuItem, &item, contents, nullptr).width() +
        extraWidth;
    if (item.menuItemType == QStyleOptionMenuItem::DefaultItem)
    {
        QFont bold = item.font;
        bold.setWeight(QFont::Bold); // weight 75 of the older scale
        const int difference = laidOutWidth(text, bold) - laidOutWidth(text, item.font);
        QVERIFY(difference > 0);
        expected += difference;
    }
    QCOMPARE(mStyle->sizeFromContents(QStyle::CT_MenuItem, &item, contents, nullptr),
             QSize(expected, height));
    QCOMPARE(mStyle->sizeFromContents(QStyle::CT_MenuItem, nullptr, contents, nullptr), contents);
}

void TstStyleGeometry::subElementRect_data()
{
    QTest::addColumn<QStyle::SubElement>("element");
    QTest::addColumn<OptionFactory>("option");
    QTest::addColumn<QRect>("expected");

    const auto at = [](QRect rect, Qt::LayoutDirection direction = Qt::LeftToRight)
    {
        return make<QStyleOptionButton>(
            [=](QStyleOptionButton& o)
            {
                o.rect = rect;
                o.direction = direction;
            });
    };
    QTest::newRow("check box indicator: 15 x 15 at the left, centred")
        << QStyle::SE_CheckBoxIndicator << at(QRect(0, 0, 100, 30)) << corners(0, 7, 14, 21);
    QTest::newRow("check box indicator of a 15-high box")
        << QStyle::SE_CheckBoxIndicator << at(QRect(0, 0, 100, 15)) << corners(0, 0, 14, 14);
    QTest::newRow("check box indicator keeps the option's origin")
        << QStyle::SE_CheckBoxIndicator << at(QRect(10, 20, 100, 31)) << corners(10, 28, 24, 42);
    QTest::newRow("check box indicator, right to left, is mirrored")
        << QStyle::SE_CheckBoxIndicator << at(QRect(0, 0, 100, 30), Qt::RightToLeft)
        << corners(85, 7, 99, 21);
    QTest::newRow("check box contents: right of the indicator")
        << QStyle::SE_CheckBoxContents << at(QRect(0, 0, 100, 30)) << corners(20, 0, 98, 29);
    QTest::newRow("check box contents keep the option's origin")
        << QStyle::SE_CheckBoxContents << at(QRect(10, 20, 100, 30)) << corners(30, 20, 108, 49);
    QTest::newRow("check box contents, right to left, are mirrored")
        << QStyle::SE_CheckBoxContents << at(QRect(0, 0, 100, 30), Qt::RightToLeft) << corners(1, 0, 79, 29);
    QTest::newRow("slider focus rectangle: unchanged")
        << QStyle::SE_SliderFocusRect << at(QRect(3, 4, 50, 15)) << QRect(3, 4, 50, 15);
    QTest::newRow("tool box tab contents: unchanged")
        << QStyle::SE_ToolBoxTabContents << at(QRect(3, 4, 50, 15)) << QRect(3, 4, 50, 15);
    QTest::newRow("line edit contents: unchanged")
        << QStyle::SE_LineEditContents << at(QRect(3, 4, 50, 15)) << QRect(3, 4, 50, 15);
    QTest::newRow("header label: shrunk by 4")
        << QStyle::SE_HeaderLabel << at(QRect(0, 0, 50, 20)) << corners(4, 4, 45, 15);
    QTest::newRow("header label, right to left")
        << QStyle::SE_HeaderLabel << at(QRect(10, 0, 50, 20), Qt::RightToLeft) << corners(14, 4, 55, 15);
    QTest::newRow("progress bar groove: the common geometry")
        << QStyle::SE_ProgressBarGroove
        << make<QStyleOptionProgressBar>([](QStyleOptionProgressBar& o) { o.rect = QRect(0, 0, 80, 15); })
        << QRect(0, 0, 80, 15);
    // The Windows style insets the contents by 3 on every side; the common geometry does not.
    QTest::newRow("progress bar contents: the common geometry, not the Windows style's")
        << QStyle::SE_ProgressBarContents
        << make<QStyleOptionProgressBar>([](QStyleOptionProgressBar& o) { o.rect = QRect(0, 0, 100, 30); })
        << QRect(0, 0, 100, 30);
}

void TstStyleGeometry::subElementRect()
{
    QFETCH(QStyle::SubElement, element);
    QFETCH(OptionFactory, option);
    QFETCH(QRect, expected);
    const auto opt = option();
    QCOMPARE(mStyle->subElementRect(element, opt.get(), nullptr), expected);
}

void TstStyleGeometry::subControlRect_data()
{
    QTest::addColumn<QStyle::ComplexControl>("control");
    QTest::addColumn<QStyle::SubControl>("subControl");
    QTest::addColumn<OptionFactory>("option");
    QTest::addColumn<QRect>("expected");

    const auto spin = [](QRect rect, bool frame)
    {
        return make<QStyleOptionSpinBox>(
            [=](QStyleOptionSpinBox& o)
            {
                o.rect = rect;
                o.frame = frame;
            });
    };
    const QRect box(0, 0, 80, 15);
    QTest::newRow("spin box up button")
        << QStyle::CC_SpinBox << QStyle::SC_SpinBoxUp << spin(box, true) << corners(67, 2, 77, 7);
    QTest::newRow("spin box down button")
        << QStyle::CC_SpinBox << QStyle::SC_SpinBoxDown << spin(box, true) << corners(67, 8, 77, 12);
    QTest::newRow("spin box buttons follow the option's origin")
        << QStyle::CC_SpinBox << QStyle::SC_SpinBoxUp << spin(QRect(5, 6, 80, 15), true)
        << corners(72, 8, 82, 13);
    QTest::newRow("spin box frame: 15 high") << QStyle::CC_SpinBox << QStyle::SC_SpinBoxFrame
                                             << spin(QRect(3, 4, 80, 25), true) << QRect(3, 4, 80, 15);
    QTest::newRow("spin box edit field with frame")
        << QStyle::CC_SpinBox << QStyle::SC_SpinBoxEditField << spin(box, true) << corners(2, 1, 65, 13);
    QTest::newRow("spin box edit field without frame")
        << QStyle::CC_SpinBox << QStyle::SC_SpinBoxEditField << spin(box, false) << corners(0, -1, 67, 13);

    const auto combo = [](QRect rect, bool editable)
    {
        return make<QStyleOptionComboBox>(
            [=](QStyleOptionComboBox& o)
            {
                o.rect = rect;
                o.editable = editable;
            });
    };
    QTest::newRow("combo box frame") << QStyle::CC_ComboBox << QStyle::SC_ComboBoxFrame
                                     << combo(QRect(3, 4, 80, 15), false) << QRect(3, 4, 80, 15);
    QTest::newRow("combo box arrow") << QStyle::CC_ComboBox << QStyle::SC_ComboBoxArrow << combo(box, false)
                                     << corners(69, 0, 79, 10);
    QTest::newRow("combo box arrow, editable")
        << QStyle::CC_ComboBox << QStyle::SC_ComboBoxArrow << combo(box, true) << corners(67, 2, 77, 12);
    QTest::newRow("combo box edit field")
        << QStyle::CC_ComboBox << QStyle::SC_ComboBoxEditField << combo(box, false) << corners(0, -1, 67, 13);
    QTest::newRow("combo box edit field, editable")
        << QStyle::CC_ComboBox << QStyle::SC_ComboBoxEditField << combo(box, true) << corners(2, 1, 65, 13);
    QTest::newRow("combo box popup without a combo widget")
        << QStyle::CC_ComboBox << QStyle::SC_ComboBoxListBoxPopup << combo(box, false) << box;

    const auto tool = [](QStyleOptionToolButton::ToolButtonFeatures features)
    {
        return make<QStyleOptionToolButton>(
            [=](QStyleOptionToolButton& o)
            {
                o.rect = QRect(0, 0, 60, 15);
                o.features = features;
            });
    };
    QTest::newRow("tool button without menu") << QStyle::CC_ToolButton << QStyle::SC_ToolButton
                                              << tool(QStyleOptionToolButton::None) << QRect(0, 0, 60, 15);
    QTest::newRow("tool button with menu section")
        << QStyle::CC_ToolButton << QStyle::SC_ToolButton << tool(QStyleOptionToolButton::Menu)
        << QRect(0, 0, 45, 15);
    QTest::newRow("tool button menu section: 15 rightmost pixels")
        << QStyle::CC_ToolButton << QStyle::SC_ToolButtonMenu << tool(QStyleOptionToolButton::Menu)
        << QRect(45, 0, 15, 15);
    QTest::newRow("tool button menu without menu feature: whole button")
        << QStyle::CC_ToolButton << QStyle::SC_ToolButtonMenu << tool(QStyleOptionToolButton::HasMenu)
        << QRect(0, 0, 60, 15);
    const auto delayed = QStyleOptionToolButton::ToolButtonFeatures(QStyleOptionToolButton::Menu) |
                         QStyleOptionToolButton::PopupDelay;
    QTest::newRow("tool button with popup delay has no menu section")
        << QStyle::CC_ToolButton << QStyle::SC_ToolButton << tool(delayed) << QRect(0, 0, 60, 15);
    QTest::newRow("tool button menu with popup delay: whole button")
        << QStyle::CC_ToolButton << QStyle::SC_ToolButtonMenu << tool(delayed) << QRect(0, 0, 60, 15);

    const auto sliderAt = [](Qt::Orientation orientation, QSize size, int position, bool upsideDown = false)
    {
        return make<QStyleOptionSlider>(
            [=](QStyleOptionSlider& o)
            {
                o.orientation = orientation;
                o.rect = QRect(QPoint(0, 0), size);
                o.minimum = 0;
                o.maximum = 100;
                o.sliderPosition = position;
                o.upsideDown = upsideDown;
            });
    };
    QTest::newRow("slider groove, horizontal")
        << QStyle::CC_Slider << QStyle::SC_SliderGroove << sliderAt(Qt::Horizontal, {200, 15}, 0)
        << corners(2, 2, 196, 11);
    QTest::newRow("slider groove, vertical")
        << QStyle::CC_Slider << QStyle::SC_SliderGroove << sliderAt(Qt::Vertical, {15, 200}, 0)
        << corners(2, 2, 11, 196);
    // 15 high: thickness 11; span 199 - 23 = 176.
    QTest::newRow("slider handle at minimum")
        << QStyle::CC_Slider << QStyle::SC_SliderHandle << sliderAt(Qt::Horizontal, {200, 15}, 0)
        << corners(2, 2, 22, 12);
    QTest::newRow("slider handle at maximum")
        << QStyle::CC_Slider << QStyle::SC_SliderHandle << sliderAt(Qt::Horizontal, {200, 15}, 100)
        << corners(178, 2, 198, 12);
    QTest::newRow("slider handle half way")
        << QStyle::CC_Slider << QStyle::SC_SliderHandle << sliderAt(Qt::Horizontal, {200, 15}, 50)
        << corners(90, 2, 110, 12);
    QTest::newRow("slider handle upside down")
        << QStyle::CC_Slider << QStyle::SC_SliderHandle << sliderAt(Qt::Horizontal, {200, 15}, 0, true)
        << corners(178, 2, 198, 12);
    QTest::newRow("slider handle, 21 high: thickness 17")
        << QStyle::CC_Slider << QStyle::SC_SliderHandle << sliderAt(Qt::Horizontal, {200, 21}, 0)
        << corners(2, 2, 22, 18);
    QTest::newRow("slider handle, vertical")
        << QStyle::CC_Slider << QStyle::SC_SliderHandle << sliderAt(Qt::Vertical, {15, 200}, 100)
        << corners(2, 178, 12, 198);

    // 200 x 15: space 154, arrow buttons 21 long.
    const auto cc = QStyle::CC_ScrollBar;
    const auto h = Qt::Horizontal;
    QTest::newRow("scroll bar add line")
        << cc << QStyle::SC_ScrollBarAddLine << scrollBar(h, {200, 15}, 0, 100, 10, 0)
        << corners(177, 2, 197, 12);
    QTest::newRow("scroll bar sub line") << cc << QStyle::SC_ScrollBarSubLine
                                         << scrollBar(h, {200, 15}, 0, 100, 10, 0) << corners(2, 2, 22, 12);
    QTest::newRow("scroll bar slider at the start, at least 15 long")
        << cc << QStyle::SC_ScrollBarSlider << scrollBar(h, {200, 15}, 0, 100, 10, 0)
        << corners(23, 2, 37, 12);
    QTest::newRow("scroll bar slider at the end")
        << cc << QStyle::SC_ScrollBarSlider << scrollBar(h, {200, 15}, 0, 100, 10, 100)
        << corners(162, 2, 176, 12);
    QTest::newRow("scroll bar slider in proportion to the page")
        << cc << QStyle::SC_ScrollBarSlider << scrollBar(h, {200, 15}, 0, 100, 100, 0)
        << corners(23, 2, 99, 12);
    QTest::newRow("scroll bar with an empty range: slider fills the space")
        << cc << QStyle::SC_ScrollBarSlider << scrollBar(h, {200, 15}, 5, 5, 10, 5)
        << corners(23, 2, 176, 12);
    QTest::newRow("scroll bar with a huge range: 15 long slider")
        << cc << QStyle::SC_ScrollBarSlider << scrollBar(h, {200, 15}, 0, 1 << 30, 1 << 29, 0)
        << corners(23, 2, 37, 12);
    QTest::newRow("scroll bar with the widest range does not overflow")
        << cc << QStyle::SC_ScrollBarSlider << scrollBar(h, {200, 15}, INT_MIN, INT_MAX, INT_MAX, INT_MIN)
        << corners(23, 2, 37, 12);
    QTest::newRow("scroll bar add page") << cc << QStyle::SC_ScrollBarAddPage
                                         << scrollBar(h, {200, 15}, 0, 100, 10, 0) << corners(36, 2, 172, 22);
    QTest::newRow("scroll bar sub page")
        << cc << QStyle::SC_ScrollBarSubPage << scrollBar(h, {200, 15}, 0, 100, 10, 100)
        << corners(23, 2, 163, 22);
    QTest::newRow("scroll bar groove") << cc << QStyle::SC_ScrollBarGroove
                                       << scrollBar(h, {200, 15}, 0, 100, 10, 0) << corners(23, 2, 175, 12);
    QTest::newRow("scroll bar, short: arrow buttons shrink")
        << cc << QStyle::SC_ScrollBarAddLine << scrollBar(h, {30, 15}, 0, 100, 10, 0)
        << corners(15, 2, 27, 12);
    QTest::newRow("scroll bar, short, odd button length")
        << cc << QStyle::SC_ScrollBarSubLine << scrollBar(h, {30, 15}, 0, 100, 10, 0)
        << corners(2, 2, 14, 12);
    QTest::newRow("scroll bar, short, even button length gets one more")
        << cc << QStyle::SC_ScrollBarSubLine << scrollBar(h, {32, 15}, 0, 100, 10, 0)
        << corners(2, 2, 16, 12);
    QTest::newRow("vertical scroll bar add line")
        << cc << QStyle::SC_ScrollBarAddLine << scrollBar(Qt::Vertical, {15, 200}, 0, 100, 10, 0)
        << corners(2, 177, 12, 197);
    QTest::newRow("vertical scroll bar slider at the end")
        << cc << QStyle::SC_ScrollBarSlider << scrollBar(Qt::Vertical, {15, 200}, 0, 100, 10, 100)
        << corners(2, 162, 12, 176);
    QTest::newRow("vertical scroll bar groove")
        << cc << QStyle::SC_ScrollBarGroove << scrollBar(Qt::Vertical, {15, 200}, 0, 100, 10, 0)
        << corners(2, 23, 12, 175);
    QTest::newRow("scroll bar slider, right to left, is mirrored")
        << cc << QStyle::SC_ScrollBarSlider << scrollBar(h, {200, 15}, 0, 100, 10, 0, Qt::RightToLeft)
        << corners(162, 2, 176, 12);
    QTest::newRow("scroll bar add line, right to left, is not mirrored")
        << cc << QStyle::SC_ScrollBarAddLine << scrollBar(h, {200, 15}, 0, 100, 10, 0, Qt::RightToLeft)
        << corners(177, 2, 197, 12);

    const auto group = make<QStyleOptionGroupBox>(
        [](QStyleOptionGroupBox& o)
        {
            o.rect = QRect(0, 0, 100, 50);
            o.subControls = QStyle::SC_GroupBoxFrame;
        });
    QTest::newRow("group box frame: the common geometry")
        << QStyle::CC_GroupBox << QStyle::SC_GroupBoxFrame << group << QRect(0, 0, 100, 50);
}

void TstStyleGeometry::subControlRect()
{
    QFETCH(QStyle::ComplexControl, control);
    QFETCH(QStyle::SubControl, subControl);
    QFETCH(OptionFactory, option);
    QFETCH(QRect, expected);
    const auto opt = option();
    QCOMPARE(mStyle->subControlRect(control, static_cast<const QStyleOptionComplex*>(opt.get()), subControl,
                                    nullptr),
             expected);
}

void TstStyleGeometry::comboPopupFitsWidestItem_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<bool>("widened");

    QTest::newRow("short items keep the combo's width") << QStringList{"SHA1", "SHA256"} << false;
    QTest::newRow("a long item widens the popup")
        << QStringList{"Self Signed Root Certificate", "Intermediate Certificate with a long name"} << true;
}

void TstStyleGeometry::comboPopupFitsWidestItem()
{
    QFETCH(QStringList, items);
    QFETCH(bool, widened);

    QComboBox combo;
    combo.addItems(items);
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.rect = QRect(0, 0, 80, 15);
    const QRect popup =
        mStyle->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxListBoxPopup, &combo);
    int widest = 0;
    for (const QString& item : items)
        widest = std::max(widest, combo.fontMetrics().horizontalAdvance(item));
    QCOMPARE(popup.topLeft(), QPoint(0, 0));
    QCOMPARE(popup.height(), 15);
    QCOMPARE(popup.width(), widened ? widest + 30 : 80);
}

void TstStyleGeometry::styleHint_data()
{
    QTest::addColumn<QStyle::StyleHint>("hint");
    QTest::addColumn<OptionFactory>("option");
    QTest::addColumn<int>("expected");

    const struct
    {
        const char* name;
        QStyle::StyleHint hint;
        int value;
    } fixed[] = {
        {"SH_EtchDisabledText", QStyle::SH_EtchDisabledText, 0},
        {"SH_DitherDisabledText", QStyle::SH_DitherDisabledText, 0},
        {"SH_MainWindow_SpaceBelowMenuBar", QStyle::SH_MainWindow_SpaceBelowMenuBar, 0},
        {"SH_ScrollView_FrameOnlyAroundContents", QStyle::SH_ScrollView_FrameOnlyAroundContents, 0},
        {"SH_Widget_ShareActivation", QStyle::SH_Widget_ShareActivation, 0},
        {"SH_ComboBox_Popup", QStyle::SH_ComboBox_Popup, 0},
        {"SH_Menu_Scrollable", QStyle::SH_Menu_Scrollable, 0},
        {"SH_GroupBox_TextLabelColor", QStyle::SH_GroupBox_TextLabelColor, 0},
        {"SH_Menu_SloppySubMenus", QStyle::SH_Menu_SloppySubMenus, 0},
        {"SH_TabBar_PreferNoArrows", QStyle::SH_TabBar_PreferNoArrows, 0},
        {"SH_MessageBox_UseBorderForButtonSpacing", QStyle::SH_MessageBox_UseBorderForButtonSpacing, 0},
        {"SH_ComboBox_LayoutDirection", QStyle::SH_ComboBox_LayoutDirection, 0},
        {"SH_ItemView_ShowDecorationSelected", QStyle::SH_ItemView_ShowDecorationSelected, 0},
        {"SH_ItemView_ActivateItemOnSingleClick", QStyle::SH_ItemView_ActivateItemOnSingleClick, 0},
        {"SH_ScrollBar_ScrollWhenPointerLeavesControl", QStyle::SH_ScrollBar_ScrollWhenPointerLeavesControl,
         1},
        {"SH_TabBar_Alignment (AlignLeft)", QStyle::SH_TabBar_Alignment, Qt::AlignLeft},
        {"SH_Slider_SnapToValue", QStyle::SH_Slider_SnapToValue, 1},
        {"SH_PrintDialog_RightAlignButtons", QStyle::SH_PrintDialog_RightAlignButtons, 1},
        {"SH_FontDialog_SelectAssociatedText", QStyle::SH_FontDialog_SelectAssociatedText, 1},
        {"SH_MenuBar_AltKeyNavigation", QStyle::SH_MenuBar_AltKeyNavigation, 1},
        {"SH_ComboBox_ListMouseTracking", QStyle::SH_ComboBox_ListMouseTracking, 1},
        {"SH_Menu_MouseTracking", QStyle::SH_Menu_MouseTracking, 1},
        {"SH_MenuBar_MouseTracking", QStyle::SH_MenuBar_MouseTracking, 1},
        {"SH_Slider_StopMouseOverSlider", QStyle::SH_Slider_StopMouseOverSlider, 1},
        {"SH_BlinkCursorWhenTextSelected", QStyle::SH_BlinkCursorWhenTextSelected, 1},
        {"SH_UnderlineShortcut", QStyle::SH_UnderlineShortcut, 1},
        {"SH_SpinControls_DisableOnBounds", QStyle::SH_SpinControls_DisableOnBounds, 1},
        {"SH_TabBar_SelectMouseType (press)", QStyle::SH_TabBar_SelectMouseType, 2},
        {"SH_Menu_SubMenuPopupDelay", QStyle::SH_Menu_SubMenuPopupDelay, 256},
        {"SH_GroupBox_TextLabelVerticalAlignment (AlignVCenter)",
         QStyle::SH_GroupBox_TextLabelVerticalAlignment, 128},
        {"SH_SpinBox_ClickAutoRepeatRate", QStyle::SH_SpinBox_ClickAutoRepeatRate, 150},
        {"SH_ToolTipLabel_Opacity", QStyle::SH_ToolTipLabel_Opacity, 255},
        {"SH_Button_FocusPolicy (StrongFocus)", QStyle::SH_Button_FocusPolicy, 11},
        {"SH_ToolButton_PopupDelay", QStyle::SH_ToolButton_PopupDelay, 600},
    };
    for (const auto& row : fixed)
        QTest::newRow(row.name) << row.hint << noOption() << row.value;

    const auto windowColour = make<QStyleOption>(
        [](QStyleOption& o)
        {
            o.palette.setColor(QPalette::Window, QColor(1, 2, 3));
            o.palette.setColor(QPalette::Mid, QColor(9, 9, 9));
        });
    QTest::newRow("grid line colour is the palette's Window colour")
        << QStyle::SH_Table_GridLineColor << windowColour << int(qRgb(1, 2, 3));
    QTest::newRow("grid line colour without an option") << QStyle::SH_Table_GridLineColor << noOption() << -1;
}

void TstStyleGeometry::styleHint()
{
    QFETCH(QStyle::StyleHint, hint);
    QFETCH(OptionFactory, option);
    QFETCH(int, expected);
    const auto opt = option();
    QCOMPARE(mStyle->styleHint(hint, opt.get()), expected);
}

void TstStyleGeometry::unlistedHintComesFromWindowsStyle()
{
    std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
    for (const auto hint : {QStyle::SH_ScrollBar_MiddleClickAbsolutePosition,
                            QStyle::SH_Menu_AllowActiveAndDisabled, QStyle::SH_ToolBox_SelectedPageTitleBold,
                            QStyle::SH_Widget_Animation_Duration, QStyle::SH_ItemView_ChangeHighlightOnFocus})
        QCOMPARE(mStyle->styleHint(hint), windows->styleHint(hint));
}

QTEST_MAIN(TstStyleGeometry)
#include "tst_stylegeometry.moc"
