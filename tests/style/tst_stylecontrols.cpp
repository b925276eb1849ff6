// Control elements and complex controls, painted into QImages; and every element painted with
// default and with mismatched options, as a crash test.
#include "colortable.h"
#include "painting.h"
#include "paintprobe.h"
#include "quorrelstyle.h"

#include <QApplication>
#include <QComboBox>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
#include <QSplitter>
#include <QStyleOption>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(QStyle::State)

namespace
{

using namespace PaintProbe;

// Shared pointers: QStyleOption has no virtual destructor, and a shared pointer made from the
// derived type deletes it as that type.
using OptionFactory = std::function<std::shared_ptr<QStyleOption>()>;

template <typename T> OptionFactory optionOf()
{
    return []
    {
        auto option = std::make_shared<T>();
        option->rect = QRect(0, 0, 40, 20);
        option->state = QStyle::State_Enabled;
        option->palette = QApplication::palette();
        return std::shared_ptr<QStyleOption>(std::move(option));
    };
}

// Every option kind the elements below take, and a few they never take.
const std::vector<std::pair<const char*, OptionFactory>>& optionKinds()
{
    static const std::vector<std::pair<const char*, OptionFactory>> kinds = {
        {"QStyleOption", optionOf<QStyleOption>()},
        {"Button", optionOf<QStyleOptionButton>()},
        {"ToolButton", optionOf<QStyleOptionToolButton>()},
        {"Frame", optionOf<QStyleOptionFrame>()},
        {"FocusRect", optionOf<QStyleOptionFocusRect>()},
        {"TabWidgetFrame", optionOf<QStyleOptionTabWidgetFrame>()},
        {"Tab", optionOf<QStyleOptionTab>()},
        {"ProgressBar", optionOf<QStyleOptionProgressBar>()},
        {"MenuItem", optionOf<QStyleOptionMenuItem>()},
        {"Header", optionOf<QStyleOptionHeader>()},
        {"Slider", optionOf<QStyleOptionSlider>()},
        {"SpinBox", optionOf<QStyleOptionSpinBox>()},
        {"ComboBox", optionOf<QStyleOptionComboBox>()},
        {"GroupBox", optionOf<QStyleOptionGroupBox>()},
        {"ViewItem", optionOf<QStyleOptionViewItem>()},
        {"TitleBar", optionOf<QStyleOptionTitleBar>()},
        {"SizeGrip", optionOf<QStyleOptionSizeGrip>()},
        {"Complex", optionOf<QStyleOptionComplex>()},
        {"ToolBox", optionOf<QStyleOptionToolBox>()},
        {"RubberBand", optionOf<QStyleOptionRubberBand>()},
        {"DockWidget", optionOf<QStyleOptionDockWidget>()},
        {"ToolBar", optionOf<QStyleOptionToolBar>()},
        {"TabBarBase", optionOf<QStyleOptionTabBarBase>()},
    };
    return kinds;
}

bool isComplex(const QStyleOption* option)
{
    return option->type >= QStyleOption::SO_Complex;
}

} // namespace

class TstStyleControls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void checkedTextOnlyToolButtonIsAccent_data();
    void checkedTextOnlyToolButtonIsAccent();
    void menuSeparatorRows();
    void menuItemFillFollowsSelection();
    void progressBarGradients_data();
    void progressBarGradients();
    void progressBarLabel_data();
    void progressBarLabel();
    void progressBarShowsOnePercentage();
    void pushButtonTextRole_data();
    void pushButtonTextRole();
    void checkAndRadioImages_data();
    void checkAndRadioImages();
    void tabLooksLikeAButton_data();
    void tabLooksLikeAButton();
    void menuBarItemLooks();
    void shapedPanelFrameIsSunken();
    void sliderHandleColoursPerState_data();
    void sliderHandleColoursPerState();
    void sliderHandleLines();
    void scrollBarSliderAndPages();
    void scrollBarWithEmptyRangeLooksEnabled();
    void scrollBarPageBand_data();
    void scrollBarPageBand();
    void editFieldFillWhenFocused_data();
    void editFieldFillWhenFocused();
    void splitterLines();
    void menuBarEmptyAreaNeedsMenuBar();
    void groupBoxFill();

    void everyElementPaintsWithoutCrash();
    void ownElementsDrawNothingForWrongOption();

private:
    QuorrelStyle* mStyle = nullptr;
};

void TstStyleControls::initTestCase()
{
    mStyle = new QuorrelStyle;
    QApplication::setStyle(mStyle);
}

void TstStyleControls::checkedTextOnlyToolButtonIsAccent_data()
{
    QTest::addColumn<bool>("checked");
    QTest::newRow("checked: accent text") << true;
    QTest::newRow("not checked: button text") << false;
}

void TstStyleControls::checkedTextOnlyToolButtonIsAccent()
{
    QFETCH(bool, checked);
    QToolButton button;
    button.setText(QStringLiteral("Sign"));
    button.setToolButtonStyle(Qt::ToolButtonTextOnly);
    button.setCheckable(true);
    button.setChecked(checked);
    button.resize(60, 15);
    const QImage image = grab(button);
    const int accentPixels = countColour(image, accent, image.rect());
    const int textPixels = countColour(image, buttonText, image.rect());
    QVERIFY(checked ? accentPixels > 10 : textPixels > 10);
    QCOMPARE(checked ? textPixels : accentPixels, 0);
}

void TstStyleControls::menuSeparatorRows()
{
    QStyleOptionMenuItem option;
    option.rect = QRect(0, 0, 30, 7);
    option.menuItemType = QStyleOptionMenuItem::Separator;
    option.palette = QApplication::palette();
    option.state = QStyle::State_Enabled;
    const QImage image =
        painted(32, 8, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_MenuItem, &option, &p); });
    const QColor base(41, 41, 41);
    const QColor highlight(71, 79, 95);
    const QColor rows[7] = {base, base, highlight, base, highlight, base, base};
    // Each row runs one column past the item, as the gradient rows do.
    for (int y = 0; y < 7; ++y)
    {
        QCOMPARE(countColour(image, rows[y], QRect(0, y, 31, 1)), 31);
        QCOMPARE(image.pixelColor(31, y), transparent);
    }
    QCOMPARE(countColour(image, transparent, QRect(0, 7, 32, 1)), 32);
}

void TstStyleControls::menuItemFillFollowsSelection()
{
    QStyleOptionMenuItem option;
    option.rect = QRect(0, 0, 80, 17);
    option.menuItemType = QStyleOptionMenuItem::Normal;
    option.palette = QApplication::palette();
    option.state = QStyle::State_Enabled;
    const QImage plain =
        painted(80, 17, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_MenuItem, &option, &p); });
    QCOMPARE(plain.pixelColor(60, 8), QColor(41, 41, 41));
    option.state |= QStyle::State_Selected;
    const QImage selected =
        painted(80, 17, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_MenuItem, &option, &p); });
    QCOMPARE(selected.pixelColor(60, 8), QColor(71, 79, 95));
}

void TstStyleControls::progressBarGradients_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("chunkRight"); // last column of the filled part, -1 for none

    // 100 wide: the chunk's rectangle ends at left + value share * width - 3, its rows one
    // column further.
    QTest::newRow("half way") << 0 << 100 << 50 << 48;
    QTest::newRow("full: up to the frame") << 0 << 100 << 100 << 98;
    QTest::newRow("a quarter of 200") << 0 << 200 << 50 << 23;
    QTest::newRow("nothing done: no chunk") << 0 << 100 << 0 << -1;
    QTest::newRow("too little to show: no chunk") << 0 << 100 << 2 << -1;
    QTest::newRow("3 %: the one column past an empty rectangle") << 0 << 100 << 3 << 1;
    QTest::newRow("busy bar (no range): no chunk") << 0 << 0 << 0 << -1;
    QTest::newRow("range from 50: half way at 100") << 50 << 150 << 100 << 48;
    QTest::newRow("range from 50: nothing done at 50") << 50 << 150 << 50 << -1;
}

void TstStyleControls::progressBarGradients()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(int, chunkRight);

    QProgressBar bar;
    bar.setRange(minimum, maximum);
    bar.setValue(value);
    bar.setTextVisible(false);
    bar.resize(100, 15);
    QStyleOptionProgressBar option;
    option.initFrom(&bar);
    option.minimum = minimum;
    option.maximum = maximum;
    option.progress = value;
    const QImage image =
        painted(100, 15,
                [&](QPainter& p) { mStyle->drawControl(QStyle::CE_ProgressBarContents, &option, &p, &bar); });

    const QColor frame(68, 76, 91);
    QCOMPARE(image.pixelColor(0, 0), frame);
    // Groove rows 1 to 13 (n = 12) from grey 42 to grey 76, columns 1 to 98: it meets the
    // frame's right line.
    const QColor grooveTop(42, 42, 42);
    const QColor grooveBottom(76, 76, 76);
    if (chunkRight < 98)
    {
        QCOMPARE(image.pixelColor(98, 1), grooveTop);
        QCOMPARE(image.pixelColor(98, 13), grooveBottom);
    }
    QCOMPARE(image.pixelColor(99, 7), frame);

    // The chunk from value 221 at the top to 80 at the bottom, in (0, 147, 221)'s hue.
    const QColor chunkTop(0, 147, 221);
    if (chunkRight < 0)
    {
        QCOMPARE(image.pixelColor(1, 1), grooveTop);
        return;
    }
    QCOMPARE(image.pixelColor(1, 1), gradientRow(chunkTop, 221));
    QCOMPARE(image.pixelColor(chunkRight, 13), gradientRow(chunkTop, 80));
    QCOMPARE(image.pixelColor(chunkRight, 13).value(), 80);
    if (chunkRight < 98)
        QCOMPARE(image.pixelColor(chunkRight + 1, 13), grooveBottom);

    // Without a progress-bar widget nothing is drawn.
    const QImage noWidget = painted(
        100, 15, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_ProgressBarContents, &option, &p); });
    QCOMPARE(countColour(noWidget, transparent, noWidget.rect()), 1500);
}

void TstStyleControls::progressBarLabel_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("progress");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("label"); // empty: nothing drawn

    QTest::newRow("range of 100: the option's text") << 0 << 100 << 40 << "40%"
                                                     << "40%";
    QTest::newRow("range of 100, no text: nothing") << 0 << 100 << 40 << ""
                                                    << "";
    QTest::newRow("range above 100: share with one decimal") << 0 << 1000 << 333 << "333"
                                                             << "33.3 %";
    QTest::newRow("range above 100 from 1000: share of the range") << 1000 << 2000 << 1500 << ""
                                                                   << "50.0 %";
    QTest::newRow("range above 100, done") << 0 << 101 << 101 << ""
                                           << "100.0 %";
}

void TstStyleControls::progressBarLabel()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, progress);
    QFETCH(QString, text);
    QFETCH(QString, label);

    QStyleOptionProgressBar option;
    option.rect = QRect(0, 0, 100, 15);
    option.palette = QApplication::palette();
    option.state = QStyle::State_Enabled;
    option.minimum = minimum;
    option.maximum = maximum;
    option.progress = progress;
    option.text = text;
    option.textVisible = true;
    const QImage image =
        painted(100, 15, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_ProgressBarLabel, &option, &p); });
    const QImage expected = painted(
        100, 15,
        [&](QPainter& p)
        {
            p.setPen(buttonText);
            p.drawText(option.rect,
                       Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip | Qt::TextHideMnemonic, label);
        });
    QCOMPARE(image, expected);
}

// The contents' own percentage goes to the bar's right edge, outside the bar: the bar shows
// only the label of CE_ProgressBarLabel.
void TstStyleControls::progressBarShowsOnePercentage()
{
    QProgressBar bar;
    bar.setRange(0, 100);
    bar.setValue(50);
    bar.resize(100, 15);
    QStyleOptionProgressBar option;
    option.initFrom(&bar);
    option.state |= QStyle::State_Horizontal;
    option.minimum = 0;
    option.maximum = 100;
    option.progress = 50;
    option.text = bar.text();
    option.textVisible = true;
    QStyleOptionProgressBar label = option;
    label.rect = mStyle->subElementRect(QStyle::SE_ProgressBarLabel, &option, &bar);
    const QImage labelOnly = painted(
        100, 15, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_ProgressBarLabel, &label, &p, &bar); });
    QVERIFY(countColour(labelOnly, buttonText, labelOnly.rect()) > 10);
    QCOMPARE(only(grab(bar), buttonText), only(labelOnly, buttonText));

    // Drawn at x = the option's width, its baseline at top + height - 4.
    const QImage wide =
        painted(160, 15,
                [&](QPainter& p) { mStyle->drawControl(QStyle::CE_ProgressBarContents, &option, &p, &bar); });
    const QImage text = painted(160, 15,
                                [](QPainter& p)
                                {
                                    p.setPen(buttonText);
                                    p.drawText(QPoint(100, 11), QStringLiteral("50 %"));
                                });
    QVERIFY(countColour(text, buttonText, text.rect()) > 10);
    QCOMPARE(only(wide, buttonText), only(text, buttonText));
}

void TstStyleControls::pushButtonTextRole_data()
{
    QTest::addColumn<QStyle::State>("state");
    QTest::addColumn<QColor>("ink");

    using S = QStyle;
    QTest::newRow("released: button text") << QStyle::State(S::State_Enabled) << buttonText;
    QTest::newRow("pressed: button text") << (S::State_Enabled | S::State_Sunken) << buttonText;
    QTest::newRow("on: bright text") << (S::State_Enabled | S::State_On) << accent;
}

void TstStyleControls::pushButtonTextRole()
{
    QFETCH(QStyle::State, state);
    QFETCH(QColor, ink);

    QStyleOptionButton option;
    option.rect = QRect(0, 0, 75, 15);
    option.state = state;
    option.palette = QApplication::palette();
    option.text = QStringLiteral("Create");
    const QImage image =
        painted(75, 15, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_PushButton, &option, &p); });
    // The text starts at left + 5 and is not centred.
    const QColor other = ink == accent ? buttonText : accent;
    QVERIFY(countColour(image, ink, QRect(5, 1, 40, 11)) > 10);
    QCOMPARE(countColour(image, ink, QRect(0, 0, 5, 15)), 0);
    QCOMPARE(countColour(image, ink, QRect(50, 0, 25, 15)), 0);
    QCOMPARE(countColour(image, other, image.rect()), 0);
}

void TstStyleControls::checkAndRadioImages_data()
{
    QTest::addColumn<bool>("radio");
    QTest::addColumn<QStyle::State>("state");
    QTest::addColumn<QString>("ring");
    QTest::addColumn<QString>("centre");

    using S = QStyle;
    QTest::newRow("check box, checked") << false << (S::State_Enabled | S::State_On) << "radio_active"
                                        << "check_active_9";
    QTest::newRow("check box, unchecked") << false << (S::State_Enabled | S::State_Off) << "radio_normal"
                                          << "check_normal_9";
    QTest::newRow("check box, checked, disabled") << false << QStyle::State(S::State_On) << "radio_active"
                                                  << "check_disabled_9";
    QTest::newRow("radio button, on") << true << (S::State_Enabled | S::State_On) << "radio_active"
                                      << "radio_active_9";
    QTest::newRow("radio button, off") << true << (S::State_Enabled | S::State_Off) << "radio_normal"
                                       << "radio_normal_9";
}

void TstStyleControls::checkAndRadioImages()
{
    QFETCH(bool, radio);
    QFETCH(QStyle::State, state);
    QFETCH(QString, ring);
    QFETCH(QString, centre);

    QStyleOptionButton option;
    option.rect = QRect(0, 0, 60, 15);
    option.state = state;
    option.palette = QApplication::palette();
    const QImage image =
        painted(60, 15,
                [&](QPainter& p)
                { mStyle->drawControl(radio ? QStyle::CE_RadioButton : QStyle::CE_CheckBox, &option, &p); });
    // The 15 x 15 indicator at the left: a ring with a two-pixel border around an 11 x 11 centre.
    const QString dir = QStringLiteral(":/data/style/");
    const QImage corner(dir + ring + QLatin1String("_1.png"));
    const QImage top(dir + ring + QLatin1String("_2.png"));
    const QImage middle(dir + centre + QLatin1String(".png"));
    QCOMPARE(image.pixelColor(1, 0), corner.pixelColor(1, 0));
    QCOMPARE(image.pixelColor(7, 0), top.pixelColor(5, 0));
    QCOMPARE(image.pixelColor(7, 1), top.pixelColor(5, 1));
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x)
            QCOMPARE(image.pixelColor(2 + x, 2 + y), middle.pixelColor(x, y));
    // Nothing right of the indicator without a label.
    QCOMPARE(countColour(image, transparent, QRect(15, 0, 45, 15)), 45 * 15);
}

void TstStyleControls::tabLooksLikeAButton_data()
{
    QTest::addColumn<QStyle::State>("state");
    QTest::addColumn<QString>("imageSet");

    using S = QStyle;
    QTest::newRow("tab") << QStyle::State(S::State_Enabled) << "pushbutton_normal";
    QTest::newRow("hovered tab") << (S::State_Enabled | S::State_MouseOver) << "pushbutton_highlight";
    QTest::newRow("selected tab looks pressed")
        << (S::State_Enabled | S::State_Selected) << "pushbutton_normal_pressed";
    // A disabled tab carries no state at all, not even its selection.
    QTest::newRow("disabled selected tab") << QStyle::State(S::State_Selected) << "pushbutton_disabled";
}

void TstStyleControls::tabLooksLikeAButton()
{
    QFETCH(QStyle::State, state);
    QFETCH(QString, imageSet);

    QStyleOptionTab option;
    option.rect = QRect(0, 0, 48, 15);
    option.state = state;
    option.palette = QApplication::palette();
    const QImage image =
        painted(48, 15, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_TabBarTab, &option, &p); });
    const QColor edge =
        QImage(QStringLiteral(":/data/style/") + imageSet + QLatin1String("_2.png")).pixelColor(0, 0);
    QCOMPARE(image.pixelColor(20, 0), edge);
    // The tab is drawn 3 pixels narrower than its rectangle: tabs overlap by that much.
    QCOMPARE(countColour(image, transparent, QRect(45, 0, 3, 15)), 3 * 15);
}

void TstStyleControls::menuBarItemLooks()
{
    QStyleOptionMenuItem option;
    option.rect = QRect(0, 0, 40, 22);
    option.palette = QApplication::palette();
    option.state = QStyle::State_Enabled;
    const QImage released =
        painted(40, 22, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_MenuBarItem, &option, &p); });
    // Rows 1 to 21 (n = 20) from (58, 65, 78) to (40, 44, 53); row 0 is left alone.
    QCOMPARE(released.pixelColor(10, 1), gradientRow({58, 65, 78}, 78));
    QCOMPARE(released.pixelColor(39, 21), gradientRow({58, 65, 78}, 53));
    QCOMPARE(countColour(released, transparent, QRect(0, 0, 40, 1)), 40);

    // Selected with focus: pressed in.
    option.state |= QStyle::State_Selected | QStyle::State_HasFocus;
    const QImage pressed =
        painted(40, 22, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_MenuBarItem, &option, &p); });
    QCOMPARE(pressed.pixelColor(10, 1), QColor(12, 15, 20));
    QCOMPARE(pressed.pixelColor(39, 1), QColor(28, 32, 38));
    QCOMPARE(pressed.pixelColor(0, 21), QColor(28, 32, 38));
    QCOMPARE(pressed.pixelColor(39, 10), QColor(71, 79, 95));
    QCOMPARE(pressed.pixelColor(20, 21), QColor(71, 79, 95));
    QCOMPARE(pressed.pixelColor(0, 2), QColor(13, 16, 21));
    QCOMPARE(pressed.pixelColor(10, 2), gradientRow({32, 39, 52}, 52));
    QCOMPARE(pressed.pixelColor(10, 20), gradientRow({32, 39, 52}, 27));
    // The left column is one pixel wide: the pressed gradient starts right of it.
    QCOMPARE(pressed.pixelColor(1, 2), gradientRow({32, 39, 52}, 52));

    // Selected without focus keeps the released look.
    option.state &= ~QStyle::State_HasFocus;
    QCOMPARE(painted(40, 22, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_MenuBarItem, &option, &p); }),
             released);
}

void TstStyleControls::shapedPanelFrameIsSunken()
{
    QStyleOptionFrame option;
    option.rect = QRect(0, 0, 30, 20);
    option.palette = QApplication::palette();
    option.state = QStyle::State_Enabled | QStyle::State_Sunken;
    option.frameShape = QFrame::Panel;
    option.lineWidth = 1;
    const QImage panel =
        painted(30, 20, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_ShapedFrame, &option, &p); });
    QCOMPARE(panel, painted(30, 20, [](QPainter& p) { Painting::drawSunkenFrame(&p, QRect(0, 0, 30, 20)); }));

    // Other shapes are the Windows style's.
    option.frameShape = QFrame::HLine;
    const QImage line =
        painted(30, 20, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_ShapedFrame, &option, &p); });
    QCOMPARE(countColour(line, QColor(68, 76, 91), line.rect()), 0);
    QVERIFY(countColour(line, transparent, line.rect()) < 30 * 20);
}

void TstStyleControls::sliderHandleColoursPerState_data()
{
    QTest::addColumn<QStyle::State>("state");
    QTest::addColumn<QColor>("topLine");
    QTest::addColumn<QColor>("bottomLine");
    QTest::addColumn<QColor>("grip");
    QTest::addColumn<QColor>("rightTop");
    QTest::addColumn<int>("rightMiddle"); // the right column's value at the middle row
    QTest::addColumn<QColor>("leftTop");
    QTest::addColumn<int>("leftMiddle");

    // The documented colours per look. The columns run over rows 2 to 12 (n = 10); the middle
    // row 7 has the top value minus half the difference, truncated.
    using S = QStyle;
    const QStyle::State enabled = S::State_Enabled;
    QTest::newRow("0 normal") << enabled << QColor(101, 111, 129) << QColor(61, 65, 75)
                              << QColor(167, 175, 190) << QColor(79, 85, 98) << 87 << QColor(101, 110, 128)
                              << 116;
    QTest::newRow("1 hovered") << (enabled | S::State_MouseOver) << QColor(135, 155, 188) << QColor(9, 10, 12)
                               << QColor(167, 175, 190) << QColor(21, 27, 33) << 23 << QColor(134, 154, 187)
                               << 186;
    QTest::newRow("2 disabled") << QStyle::State(S::State_None) << QColor(76, 78, 82) << QColor(21, 22, 23)
                                << QColor(127, 133, 143) << QColor(47, 48, 51) << 37 << QColor(75, 77, 81)
                                << 68;
    QTest::newRow("3 pressed") << (enabled | S::State_Sunken) << QColor(72, 77, 87) << QColor(108, 118, 136)
                               << QColor(255, 255, 255) << QColor(92, 99, 113) << 123 << QColor(74, 79, 88)
                               << 98;
    QTest::newRow("4 hovered and pressed")
        << (enabled | S::State_Sunken | S::State_MouseOver) << QColor(9, 10, 12) << QColor(135, 155, 188)
        << QColor(255, 255, 255) << QColor(133, 152, 184) << 185 << QColor(9, 10, 12) << 22;
    QTest::newRow("5 disabled and pressed")
        << QStyle::State(S::State_Sunken) << QColor(22, 22, 23) << QColor(86, 88, 92) << QColor(127, 133, 143)
        << QColor(63, 64, 65) << 78 << QColor(21, 22, 22) << 35;
}

void TstStyleControls::sliderHandleColoursPerState()
{
    QFETCH(QStyle::State, state);
    QFETCH(QColor, topLine);
    QFETCH(QColor, bottomLine);
    QFETCH(QColor, grip);
    QFETCH(QColor, rightTop);
    QFETCH(int, rightMiddle);
    QFETCH(QColor, leftTop);
    QFETCH(int, leftMiddle);

    QSlider slider(Qt::Horizontal);
    slider.setRange(0, 100);
    slider.setValue(0);
    slider.resize(100, 15);
    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.orientation = Qt::Horizontal;
    option.minimum = 0;
    option.maximum = 100;
    option.sliderPosition = 0;
    option.state = state;
    const QImage image = painted(
        100, 15, [&](QPainter& p) { mStyle->drawComplexControl(QStyle::CC_Slider, &option, &p, &slider); });

    // Handle (2, 2) to (22, 12); grip through x = 2 + 21 / 2.
    QCOMPARE(image.pixelColor(6, 2), topLine);
    QCOMPARE(image.pixelColor(6, 12), bottomLine);
    QCOMPARE(image.pixelColor(12, 7), grip);
    QCOMPARE(image.pixelColor(22, 7), gradientRow(rightTop, rightMiddle));
    QCOMPARE(image.pixelColor(2, 7), gradientRow(leftTop, leftMiddle));
    // The columns are one pixel wide; the handle's inside shows the band's base colour, the
    // band is framed.
    QCOMPARE(image.pixelColor(3, 7), QColor(41, 41, 41));
    QCOMPARE(image.pixelColor(23, 7), QColor(41, 41, 41));
    QCOMPARE(image.pixelColor(6, 7), QColor(41, 41, 41));
    QCOMPARE(image.pixelColor(50, 0), QColor(68, 76, 91));
    QCOMPARE(image.pixelColor(50, 1), QColor(23, 23, 23));
}

void TstStyleControls::sliderHandleLines()
{
    // The normal look's documented colours.
    const HandleColors colours = {{101, 111, 129}, {89, 98, 113}, {79, 85, 98},
                                  {63, 67, 76},    {61, 65, 75},  {71, 77, 88},
                                  {101, 110, 128}, {83, 90, 104}, {167, 175, 190}};
    const QRect handle(QPoint(2, 2), QPoint(12, 22));
    const QImage image =
        painted(15, 25, [&](QPainter& p) { Painting::drawSliderHandle(&p, handle, colours, false); });
    // Vertical slider: the grip runs across the handle through its middle row.
    QCOMPARE(image.pixelColor(7, 2 + 21 / 2), QColor(167, 175, 190));
    QCOMPARE(image.pixelColor(7, 2), QColor(101, 111, 129));
    QCOMPARE(image.pixelColor(7, 22), QColor(61, 65, 75));
    // The columns are drawn last over their full height, so they own the corners: the right
    // one starts at its top colour's value, the left one ends at its bottom colour's.
    QCOMPARE(image.pixelColor(12, 2), gradientRow({79, 85, 98}, 98));
    QCOMPARE(image.pixelColor(2, 22), gradientRow({101, 110, 128}, 104));
    QCOMPARE(image.pixelColor(7, 5), transparent);
    QCOMPARE(image.pixelColor(3, 7), transparent);
    QCOMPARE(image.pixelColor(13, 7), transparent);
}

void TstStyleControls::scrollBarSliderAndPages()
{
    QScrollBar bar(Qt::Horizontal);
    bar.setRange(0, 100);
    bar.setPageStep(10);
    bar.setValue(0);
    bar.resize(200, 15);
    const QImage image = grab(bar);

    // Groove: the whole bar filled and outlined; pages are not painted over it.
    QCOMPARE(image.pixelColor(100, 0), QColor(68, 76, 91));
    QCOMPARE(image.pixelColor(100, 7), QColor(33, 33, 33));
    QCOMPARE(image.pixelColor(40, 7), QColor(33, 33, 33));
    // Slider (23, 2) to (37, 12): a normal button with the grip icon at its centre - 2.
    const QColor normalTop = QImage(QStringLiteral(":/data/style/pushbutton_normal_2.png")).pixelColor(0, 0);
    QCOMPARE(image.pixelColor(30, 2), normalTop);
    QCOMPARE(image.pixelColor(28, 5), buttonText);
    // Centre rows 3 to 11 (n = 8): row 5 has 90 - (35 * 2) / 8 = 82.
    QCOMPARE(image.pixelColor(29, 5), gradientRow({67, 75, 90}, 82));
    // Arrow buttons at both ends.
    QCOMPARE(image.pixelColor(10, 2), normalTop);
    QCOMPARE(image.pixelColor(185, 2), normalTop);
}

void TstStyleControls::scrollBarWithEmptyRangeLooksEnabled()
{
    QScrollBar bar(Qt::Horizontal);
    bar.resize(200, 15);
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.orientation = Qt::Horizontal;
    option.minimum = 5;
    option.maximum = 5;
    option.sliderPosition = 5;
    option.pageStep = 10;
    option.subControls = QStyle::SC_All;
    option.state &= ~QStyle::State_Enabled;
    const QImage image = painted(
        200, 15, [&](QPainter& p) { mStyle->drawComplexControl(QStyle::CC_ScrollBar, &option, &p, &bar); });
    const QColor normalTop = QImage(QStringLiteral(":/data/style/pushbutton_normal_2.png")).pixelColor(0, 0);
    // The slider fills the whole space between the arrow buttons: (23, 2) to (176, 12).
    QCOMPARE(image.pixelColor(24, 2), normalTop);
    QCOMPARE(image.pixelColor(170, 2), normalTop);
    QCOMPARE(image.pixelColor(100, 13), QColor(33, 33, 33));
}

void TstStyleControls::scrollBarPageBand_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QRect>("band");

    QTest::newRow("horizontal: 12 rows from the top")
        << int(Qt::Horizontal) << QRect(QPoint(1, 0), QPoint(29, 11));
    QTest::newRow("vertical: 12 columns from the left")
        << int(Qt::Vertical) << QRect(QPoint(0, 1), QPoint(11, 29));
}

void TstStyleControls::scrollBarPageBand()
{
    QFETCH(int, orientation);
    QFETCH(QRect, band);
    for (const auto element : {QStyle::CE_ScrollBarAddPage, QStyle::CE_ScrollBarSubPage})
    {
        QStyleOptionSlider option;
        option.rect = QRect(0, 0, 30, 30);
        option.orientation = Qt::Orientation(orientation);
        QImage image = painted(30, 30,
                               [&](QPainter& p)
                               {
                                   p.setBackgroundMode(Qt::TransparentMode);
                                   mStyle->drawControl(element, &option, &p);
                                   // The painter's background mode is left as it was.
                                   QCOMPARE(p.backgroundMode(), Qt::TransparentMode);
                               });
        QCOMPARE(countColour(image, QColor(41, 41, 41), image.rect()), band.width() * band.height());
        QCOMPARE(countColour(image, QColor(41, 41, 41), band), band.width() * band.height());
    }
}

void TstStyleControls::editFieldFillWhenFocused_data()
{
    QTest::addColumn<bool>("spin");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<QColor>("fill");

    QTest::newRow("combo box, focused: highlight") << false << true << QColor(71, 79, 95);
    QTest::newRow("combo box: base") << false << false << QColor(41, 41, 41);
    QTest::newRow("spin box, focused: highlight") << true << true << QColor(71, 79, 95);
    QTest::newRow("spin box: base") << true << false << QColor(41, 41, 41);
}

void TstStyleControls::editFieldFillWhenFocused()
{
    QFETCH(bool, spin);
    QFETCH(bool, focused);
    QFETCH(QColor, fill);

    const QStyle::State state =
        QStyle::State_Enabled | (focused ? QStyle::State_HasFocus : QStyle::State_None);
    QImage image;
    if (spin)
    {
        QStyleOptionSpinBox option;
        option.rect = QRect(0, 0, 80, 15);
        option.state = state;
        option.palette = QApplication::palette();
        option.subControls = QStyle::SC_All;
        option.frame = true;
        option.stepEnabled = QAbstractSpinBox::StepUpEnabled;
        image = painted(80, 15,
                        [&](QPainter& p) { mStyle->drawComplexControl(QStyle::CC_SpinBox, &option, &p); });
        // Up button enabled, down button disabled: their panels differ.
        const QColor normalTop =
            QImage(QStringLiteral(":/data/style/pushbutton_normal_2.png")).pixelColor(0, 0);
        const QColor disabledTop =
            QImage(QStringLiteral(":/data/style/pushbutton_disabled_2.png")).pixelColor(0, 0);
        QCOMPARE(image.pixelColor(68, 2), normalTop);
        QCOMPARE(image.pixelColor(68, 8), disabledTop);
        QCOMPARE(image.pixelColor(0, 0), QColor(68, 76, 91));
    }
    else
    {
        QStyleOptionComboBox option;
        option.rect = QRect(0, 0, 80, 15);
        option.state = state;
        option.palette = QApplication::palette();
        option.subControls = QStyle::SC_All;
        image = painted(80, 15,
                        [&](QPainter& p) { mStyle->drawComplexControl(QStyle::CC_ComboBox, &option, &p); });
        // The arrow button (69, 0) to (79, 10) with the down arrow.
        const QColor normalTop =
            QImage(QStringLiteral(":/data/style/pushbutton_normal_2.png")).pixelColor(0, 0);
        QCOMPARE(image.pixelColor(74, 0), normalTop);
        QVERIFY(countColour(image, buttonText, QRect(69, 0, 11, 11)) > 0);
    }
    QCOMPARE(image.pixelColor(30, 7), fill);
}

void TstStyleControls::splitterLines()
{
    QSplitter splitter(Qt::Horizontal);
    splitter.addWidget(new QWidget);
    splitter.addWidget(new QWidget);
    splitter.resize(100, 40);
    QSplitterHandle* handle = splitter.handle(1);
    handle->resize(9, 40);
    QStyleOption option;
    option.initFrom(handle);
    const QImage image =
        painted(9, 40, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_Splitter, &option, &p, handle); });
    QCOMPARE(image.pixelColor(4, 20), QColor(71, 79, 95));
    QCOMPARE(image.pixelColor(5, 20), QColor(33, 33, 34));
    QCOMPARE(image.pixelColor(6, 39), QColor(46, 52, 62));
    QCOMPARE(image.pixelColor(3, 20), transparent);
    QCOMPARE(image.pixelColor(7, 20), transparent);
}

void TstStyleControls::menuBarEmptyAreaNeedsMenuBar()
{
    QMenuBar bar;
    bar.resize(50, 23);
    QStyleOption option;
    option.initFrom(&bar);
    const QImage image = painted(
        50, 23, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_MenuBarEmptyArea, &option, &p, &bar); });
    QCOMPARE(image.pixelColor(10, 1), gradientRow({58, 65, 78}, 78));
    QCOMPARE(image.pixelColor(10, 21).value(), 53);
    QCOMPARE(image.pixelColor(10, 0), transparent);
    // Columns 1 to 48 and the one past them: the empty area reaches the bar's right edge.
    QCOMPARE(image.pixelColor(49, 21), gradientRow({58, 65, 78}, 53));
    QCOMPARE(image.pixelColor(0, 10), transparent);

    QWidget other;
    const QImage nothing = painted(
        50, 23, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_MenuBarEmptyArea, &option, &p, &other); });
    QCOMPARE(countColour(nothing, transparent, nothing.rect()), 50 * 23);
}

void TstStyleControls::groupBoxFill()
{
    QStyleOptionGroupBox option;
    option.rect = QRect(0, 0, 60, 30);
    option.state = QStyle::State_Enabled;
    option.palette = QApplication::palette();
    option.subControls = QStyle::SC_GroupBoxFrame;
    const QImage image =
        painted(60, 30, [&](QPainter& p) { mStyle->drawComplexControl(QStyle::CC_GroupBox, &option, &p); });
    // Filled with the base colour, no frame line.
    QCOMPARE(countColour(image, QColor(41, 41, 41), image.rect()), 60 * 30);
}

void TstStyleControls::everyElementPaintsWithoutCrash()
{
    QImage image = blank(60, 40);
    QPainter painter(&image);
    for (const auto& [name, make] : optionKinds())
    {
        const auto option = make();
        for (int element = QStyle::PE_Frame; element <= QStyle::PE_IndicatorTabTearRight; ++element)
            mStyle->drawPrimitive(QStyle::PrimitiveElement(element), option.get(), &painter);
        for (int element = QStyle::CE_PushButton; element <= int(QStyle::CE_ShapedFrame); ++element)
            mStyle->drawControl(QStyle::ControlElement(element), option.get(), &painter);
        if (isComplex(option.get()))
        {
            const auto* complex = static_cast<const QStyleOptionComplex*>(option.get());
            for (int control = QStyle::CC_SpinBox; control <= int(QStyle::CC_MdiControls); ++control)
                mStyle->drawComplexControl(QStyle::ComplexControl(control), complex, &painter);
        }
    }
    // No option at all draws nothing.
    QImage untouched = blank(60, 40);
    QPainter quiet(&untouched);
    for (int element = QStyle::PE_Frame; element <= QStyle::PE_IndicatorTabTearRight; ++element)
        mStyle->drawPrimitive(QStyle::PrimitiveElement(element), nullptr, &quiet);
    for (int element = QStyle::CE_PushButton; element <= int(QStyle::CE_ShapedFrame); ++element)
        mStyle->drawControl(QStyle::ControlElement(element), nullptr, &quiet);
    for (int control = QStyle::CC_SpinBox; control <= int(QStyle::CC_MdiControls); ++control)
        mStyle->drawComplexControl(QStyle::ComplexControl(control), nullptr, &quiet);
    quiet.end();
    QCOMPARE(countColour(untouched, transparent, untouched.rect()), 60 * 40);
}

void TstStyleControls::ownElementsDrawNothingForWrongOption()
{
    using S = QStyle;
    // The elements this style paints itself, with the option kind each one needs.
    const struct
    {
        int element;
        char kind; // 'P'rimitive, 'C'ontrol, 'X' complex
        int type;  // QStyleOption::OptionType it needs
    } owned[] = {
        {S::PE_Frame, 'P', QStyleOption::SO_Frame},
        {S::PE_FrameGroupBox, 'P', QStyleOption::SO_Frame},
        {S::PE_FrameLineEdit, 'P', QStyleOption::SO_Frame},
        {S::PE_FrameFocusRect, 'P', QStyleOption::SO_FocusRect},
        {S::PE_FrameMenu, 'P', QStyleOption::SO_Frame},
        {S::PE_FrameTabWidget, 'P', QStyleOption::SO_TabWidgetFrame},
        {S::PE_PanelButtonCommand, 'P', QStyleOption::SO_Button},
        {S::PE_PanelButtonTool, 'P', QStyleOption::SO_ToolButton},
        {S::PE_PanelMenuBar, 'P', QStyleOption::SO_Frame},
        {S::PE_PanelLineEdit, 'P', QStyleOption::SO_Frame},
        {S::PE_IndicatorHeaderArrow, 'P', QStyleOption::SO_Header},
        {S::PE_IndicatorCheckBox, 'P', QStyleOption::SO_Button},
        {S::PE_IndicatorMenuCheckMark, 'P', QStyleOption::SO_MenuItem},
        {S::PE_IndicatorItemViewItemCheck, 'P', QStyleOption::SO_ViewItem},
        {S::CE_PushButton, 'C', QStyleOption::SO_Button},
        {S::CE_CheckBox, 'C', QStyleOption::SO_Button},
        {S::CE_RadioButton, 'C', QStyleOption::SO_Button},
        {S::CE_CheckBoxLabel, 'C', QStyleOption::SO_Button},
        {S::CE_RadioButtonLabel, 'C', QStyleOption::SO_Button},
        {S::CE_TabBarTab, 'C', QStyleOption::SO_Tab},
        {S::CE_ProgressBar, 'C', QStyleOption::SO_ProgressBar},
        {S::CE_ProgressBarContents, 'C', QStyleOption::SO_ProgressBar},
        {S::CE_ProgressBarLabel, 'C', QStyleOption::SO_ProgressBar},
        {S::CE_MenuItem, 'C', QStyleOption::SO_MenuItem},
        {S::CE_MenuBarItem, 'C', QStyleOption::SO_MenuItem},
        {S::CE_ToolButtonLabel, 'C', QStyleOption::SO_ToolButton},
        {S::CE_HeaderLabel, 'C', QStyleOption::SO_Header},
        {S::CE_ScrollBarAddLine, 'C', QStyleOption::SO_Slider},
        {S::CE_ScrollBarSubLine, 'C', QStyleOption::SO_Slider},
        {S::CE_ScrollBarAddPage, 'C', QStyleOption::SO_Slider},
        {S::CE_ScrollBarSubPage, 'C', QStyleOption::SO_Slider},
        {S::CE_ScrollBarSlider, 'C', QStyleOption::SO_Slider},
        {S::CE_ComboBoxLabel, 'C', QStyleOption::SO_ComboBox},
        {S::CC_ToolButton, 'X', QStyleOption::SO_ToolButton},
        {S::CC_ComboBox, 'X', QStyleOption::SO_ComboBox},
        {S::CC_SpinBox, 'X', QStyleOption::SO_SpinBox},
        {S::CC_ScrollBar, 'X', QStyleOption::SO_Slider},
        {S::CC_Slider, 'X', QStyleOption::SO_Slider},
        {S::CC_GroupBox, 'X', QStyleOption::SO_GroupBox},
    };
    for (const auto& entry : owned)
    {
        for (const auto& [name, make] : optionKinds())
        {
            const auto option = make();
            if (option->type == entry.type)
                continue;
            if (entry.kind == 'X' && !isComplex(option.get()))
                continue;
            QImage image = blank(60, 40);
            {
                QPainter painter(&image);
                if (entry.kind == 'P')
                    mStyle->drawPrimitive(QStyle::PrimitiveElement(entry.element), option.get(), &painter);
                else if (entry.kind == 'C')
                    mStyle->drawControl(QStyle::ControlElement(entry.element), option.get(), &painter);
                else
                    mStyle->drawComplexControl(QStyle::ComplexControl(entry.element),
                                               static_cast<const QStyleOptionComplex*>(option.get()),
                                               &painter);
            }
            QVERIFY2(countColour(image, transparent, image.rect()) == 60 * 40,
                     qPrintable(QStringLiteral("element %1 (%2) drew with a %3 option")
                                    .arg(entry.element)
                                    .arg(QLatin1Char(entry.kind))
                                    .arg(QLatin1String(name))));
        }
    }
}

QTEST_MAIN(TstStyleControls)
#include "tst_stylecontrols.moc"
