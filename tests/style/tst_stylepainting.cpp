// The painting helpers and the primitive elements, probed pixel by pixel in QImages.
#include "colortable.h"
#include "painting.h"
#include "paintprobe.h"
#include "quorrelstyle.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QStyleOption>
#include <QTest>

Q_DECLARE_METATYPE(QStyle::State)
Q_DECLARE_METATYPE(QStyle::PrimitiveElement)
Q_DECLARE_METATYPE(ButtonImageState)
Q_DECLARE_METATYPE(Qt::LayoutDirection)

namespace
{

using namespace PaintProbe;

QPixmap solid(const QColor& colour, int width = 1, int height = 1)
{
    QPixmap pixmap(width, height);
    pixmap.fill(colour);
    return pixmap;
}

// Eight border pieces in colours that tell them apart, and a centre of its own.
NinePiece distinctPieces(bool withCentre)
{
    NinePiece pieces;
    for (int piece = NinePiece::TopLeft; piece <= NinePiece::Left; ++piece)
        pieces.setPiece(NinePiece::Piece(piece), solid(QColor(10 * piece, 200 - 10 * piece, 100)));
    if (withCentre)
        pieces.setPiece(NinePiece::Centre, solid(QColor(250, 250, 0)));
    return pieces;
}

QColor pieceColour(int piece)
{
    return QColor(10 * piece, 200 - 10 * piece, 100);
}

bool untouched(const QImage& image, const QRect& area)
{
    return countColour(image, transparent, area) == area.width() * area.height();
}

} // namespace

class TstStylePainting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void verticalGradientRows_data();
    void verticalGradientRows();
    void verticalGradientKeepsHueAndSaturationOfTop();
    void verticalGradientNeedsTwoRowsAndAColumn_data();
    void verticalGradientNeedsTwoRowsAndAColumn();

    void framedGradientPieces_data();
    void framedGradientPieces();
    void ninePiecesWithAndWithoutCentre();

    void buttonImageState_data();
    void buttonImageState();
    void buttonPanelPerState_data();
    void buttonPanelPerState();
    void lowButtonHasNoGradient();

    void focusIndicatorIsTwoVerticalLines();
    void focusedButtonShowsFocusLines();
    void sunkenFrameColours_data();
    void sunkenFrameColours();

    void arrowTintAndPlacement_data();
    void arrowTintAndPlacement();
    void headerArrowFollowsSortOrder_data();
    void headerArrowFollowsSortOrder();

    void checkIndicatorImage_data();
    void checkIndicatorImage();
    void menuCheckMarkImage();
    void tipPanel();
    void lineEditPanel_data();
    void lineEditPanel();
    void menuBarPanelHasFlatBottom();
    void toolPanelMatchesCommandPanel_data();
    void toolPanelMatchesCommandPanel();
    void itemViewCheck_data();
    void itemViewCheck();
    void branchIndicator_data();
    void branchIndicator();

private:
    QuorrelStyle* mStyle = nullptr;
    QPalette mPalette;
};

void TstStylePainting::initTestCase()
{
    mStyle = new QuorrelStyle;
    QApplication::setStyle(mStyle);
    mPalette = QApplication::palette();
}

void TstStylePainting::verticalGradientRows_data()
{
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("value");

    // Rectangle rows 1 to 5 (n = 4) from grey 200 to grey 90: v = 200 - (110 * (n - k)) / n.
    QTest::newRow("top row has the top colour's value") << 1 << 200;
    QTest::newRow("second row (k = 3), truncated 27.5") << 2 << 173;
    QTest::newRow("middle row (k = 2)") << 3 << 145;
    QTest::newRow("fourth row (k = 1), truncated 82.5") << 4 << 118;
    QTest::newRow("bottom row has the bottom colour's value") << 5 << 90;
}

void TstStylePainting::verticalGradientRows()
{
    QFETCH(int, y);
    QFETCH(int, value);
    const QRect rect(QPoint(2, 1), QPoint(9, 5));
    const QImage image =
        painted(12, 8,
                [&](QPainter& p)
                { Painting::drawVerticalGradient(&p, rect, QColor(200, 200, 200), QColor(90, 90, 90)); });
    // Each row runs from the left edge to one column past the right edge.
    for (int x = rect.left(); x <= rect.right() + 1; ++x)
        QCOMPARE(image.pixelColor(x, y), QColor(value, value, value));
    QCOMPARE(image.pixelColor(rect.left() - 1, y), transparent);
    QCOMPARE(image.pixelColor(rect.right() + 2, y), transparent);
    QVERIFY(untouched(image, QRect(0, 0, 12, 1)));
    QVERIFY(untouched(image, QRect(0, 6, 12, 2)));
}

void TstStylePainting::verticalGradientKeepsHueAndSaturationOfTop()
{
    const QColor top(67, 75, 90);
    const QColor bottom(41, 46, 55);
    const QRect rect(0, 0, 4, 13);
    const QImage image =
        painted(4, 13, [&](QPainter& p) { Painting::drawVerticalGradient(&p, rect, top, bottom); });
    // n = 12 from value 90 to 55: v = 90 - (35 * y) / 12, truncated.
    const int values[13] = {90, 88, 85, 82, 79, 76, 73, 70, 67, 64, 61, 58, 55};
    for (int y = 0; y < 13; ++y)
        QCOMPARE(image.pixelColor(1, y), gradientRow(top, values[y]));
    QCOMPARE(image.pixelColor(1, 12).value(), bottom.value());
    QCOMPARE(image.pixelColor(1, 12).hsvHue(), gradientRow(top, 55).hsvHue());
}

void TstStylePainting::verticalGradientNeedsTwoRowsAndAColumn_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<bool>("drawn");

    QTest::newRow("one row: nothing") << QRect(1, 1, 6, 1) << false;
    QTest::newRow("no rows: nothing") << QRect(1, 1, 6, 0) << false;
    QTest::newRow("upside down: nothing") << QRect(QPoint(1, 5), QPoint(6, 2)) << false;
    QTest::newRow("no columns: the one past them") << QRect(QPoint(5, 1), QPoint(4, 5)) << true;
    QTest::newRow("backwards columns: nothing") << QRect(QPoint(5, 1), QPoint(2, 5)) << false;
    QTest::newRow("two rows: both drawn") << QRect(1, 1, 6, 2) << true;
    QTest::newRow("one column: drawn") << QRect(3, 1, 1, 4) << true;
}

void TstStylePainting::verticalGradientNeedsTwoRowsAndAColumn()
{
    QFETCH(QRect, rect);
    QFETCH(bool, drawn);
    const QImage image =
        painted(8, 8, [&](QPainter& p) { Painting::drawVerticalGradient(&p, rect, Qt::white, Qt::black); });
    // Rows run one column past the right edge.
    const int expected = drawn ? (rect.width() + 1) * rect.height() : 0;
    QCOMPARE(64 - countColour(image, transparent, image.rect()), expected);
}

void TstStylePainting::framedGradientPieces_data()
{
    QTest::addColumn<int>("border");
    QTest::addColumn<QPoint>("probe");
    QTest::addColumn<int>("piece"); // 0: centre gradient
    QTest::addColumn<int>("value"); // the centre's value there

    // A 10 x 6 rectangle at (0, 0). Centre from grey 200 to grey 100: rows 1 to 4 with border 1
    // (n = 3, row 2: 200 - 100 / 3), rows 2 and 3 with border 2 (n = 1, row 2 is the top).
    QTest::newRow("1 top-left corner") << 1 << QPoint(0, 0) << 1 << -1;
    QTest::newRow("2 top edge, left end") << 1 << QPoint(1, 0) << 2 << -1;
    QTest::newRow("2 top edge, right end") << 1 << QPoint(8, 0) << 2 << -1;
    QTest::newRow("3 top-right corner") << 1 << QPoint(9, 0) << 3 << -1;
    QTest::newRow("4 right edge") << 1 << QPoint(9, 1) << 4 << -1;
    QTest::newRow("4 right edge, bottom end") << 1 << QPoint(9, 4) << 4 << -1;
    QTest::newRow("5 bottom-right corner") << 1 << QPoint(9, 5) << 5 << -1;
    QTest::newRow("6 bottom edge") << 1 << QPoint(4, 5) << 6 << -1;
    QTest::newRow("7 bottom-left corner") << 1 << QPoint(0, 5) << 7 << -1;
    QTest::newRow("8 left edge") << 1 << QPoint(0, 3) << 8 << -1;
    QTest::newRow("centre") << 1 << QPoint(4, 2) << 0 << 167;
    QTest::newRow("border 2: corner is 2 x 2") << 2 << QPoint(1, 1) << 1 << -1;
    QTest::newRow("border 2: top edge is 2 high") << 2 << QPoint(4, 1) << 2 << -1;
    QTest::newRow("border 2: right edge is 2 wide") << 2 << QPoint(8, 2) << 4 << -1;
    QTest::newRow("border 2: centre") << 2 << QPoint(4, 2) << 0 << 200;
}

void TstStylePainting::framedGradientPieces()
{
    QFETCH(int, border);
    QFETCH(QPoint, probe);
    QFETCH(int, piece);
    QFETCH(int, value);
    const QColor top(200, 200, 200);
    const QColor bottom(100, 100, 100);
    const QRect rect(0, 0, 10, 6);
    const QImage image =
        painted(12, 8,
                [&](QPainter& p)
                { Painting::drawFramedGradient(&p, rect, border, distinctPieces(true), top, bottom); });
    if (piece > 0)
    {
        QCOMPARE(image.pixelColor(probe), pieceColour(piece));
        return;
    }
    // The centre is the gradient, never piece 9.
    QCOMPARE(image.pixelColor(probe), QColor(value, value, value));
    QCOMPARE(countColour(image, QColor(250, 250, 0), image.rect()), 0);
    QVERIFY(untouched(image, QRect(10, 0, 2, 8)));
    QVERIFY(untouched(image, QRect(0, 6, 12, 2)));
}

void TstStylePainting::ninePiecesWithAndWithoutCentre()
{
    const QRect rect(0, 0, 10, 6);
    const QImage withCentre =
        painted(10, 6, [&](QPainter& p) { Painting::drawNinePiece(&p, rect, 2, distinctPieces(true)); });
    QCOMPARE(countColour(withCentre, QColor(250, 250, 0), QRect(2, 2, 6, 2)), 12);
    QCOMPARE(withCentre.pixelColor(0, 0), pieceColour(1));
    QCOMPARE(withCentre.pixelColor(5, 5), pieceColour(6));
    QCOMPARE(withCentre.pixelColor(0, 3), pieceColour(8));

    const QImage withoutCentre =
        painted(10, 6, [&](QPainter& p) { Painting::drawNinePiece(&p, rect, 2, distinctPieces(false)); });
    QVERIFY(untouched(withoutCentre, QRect(2, 2, 6, 2)));
    QCOMPARE(withoutCentre.pixelColor(9, 0), pieceColour(3));
    QCOMPARE(withoutCentre.pixelColor(9, 3), pieceColour(4));
    QCOMPARE(withoutCentre.pixelColor(9, 5), pieceColour(5));
    QCOMPARE(withoutCentre.pixelColor(0, 5), pieceColour(7));
}

void TstStylePainting::buttonImageState_data()
{
    QTest::addColumn<QStyle::State>("state");
    QTest::addColumn<ButtonImageState>("expected");

    using S = QStyle;
    const QStyle::State enabled = S::State_Enabled;
    QTest::newRow("enabled: normal") << enabled << ButtonImageState::Normal;
    QTest::newRow("enabled and hovered: highlight")
        << (enabled | S::State_MouseOver) << ButtonImageState::Highlight;
    QTest::newRow("disabled: disabled") << QStyle::State(S::State_None) << ButtonImageState::Disabled;
    QTest::newRow("disabled and hovered: disabled")
        << QStyle::State(S::State_MouseOver) << ButtonImageState::Disabled;
    QTest::newRow("pressed: pressed") << (enabled | S::State_Sunken) << ButtonImageState::Pressed;
    QTest::newRow("checked counts as pressed") << (enabled | S::State_On) << ButtonImageState::Pressed;
    QTest::newRow("selected counts as pressed") << (enabled | S::State_Selected) << ButtonImageState::Pressed;
    QTest::newRow("hovered and pressed: hlPressed")
        << (enabled | S::State_Sunken | S::State_MouseOver) << ButtonImageState::HighlightPressed;
    QTest::newRow("disabled and pressed: disabledPressed")
        << QStyle::State(S::State_Sunken) << ButtonImageState::DisabledPressed;
    QTest::newRow("disabled, checked and hovered: disabledPressed")
        << (S::State_On | S::State_MouseOver) << ButtonImageState::DisabledPressed;
}

void TstStylePainting::buttonImageState()
{
    QFETCH(QStyle::State, state);
    QFETCH(ButtonImageState, expected);
    QCOMPARE(Painting::buttonImageState(state), expected);
}

void TstStylePainting::buttonPanelPerState_data()
{
    QTest::addColumn<QStyle::State>("state");
    QTest::addColumn<QString>("imageSet");
    QTest::addColumn<QColor>("top");
    QTest::addColumn<QColor>("bottom");
    QTest::addColumn<int>("middleValue"); // row 7 (k = 6 of n = 12)

    using S = QStyle;
    const QStyle::State enabled = S::State_Enabled;
    QTest::newRow("normal") << enabled << "pushbutton_normal" << QColor(67, 75, 90) << QColor(41, 46, 55)
                            << 73;
    QTest::newRow("hovered") << (enabled | S::State_MouseOver) << "pushbutton_highlight"
                             << QColor(91, 109, 147) << QColor(42, 50, 66) << 107;
    QTest::newRow("disabled") << QStyle::State(S::State_None) << "pushbutton_disabled" << QColor(61, 62, 65)
                              << QColor(31, 32, 33) << 49;
    QTest::newRow("pressed") << (enabled | S::State_Sunken) << "pushbutton_normal_pressed"
                             << QColor(22, 26, 30) << QColor(43, 53, 66) << 48;
    QTest::newRow("hovered and pressed")
        << (enabled | S::State_Sunken | S::State_MouseOver) << "pushbutton_hlPressed" << QColor(30, 39, 55)
        << QColor(81, 100, 139) << 97;
    QTest::newRow("disabled and pressed") << QStyle::State(S::State_Sunken) << "pushbutton_disabledPressed"
                                          << QColor(37, 41, 45) << QColor(57, 67, 80) << 62;
}

void TstStylePainting::buttonPanelPerState()
{
    QFETCH(QStyle::State, state);
    QFETCH(QString, imageSet);
    QFETCH(QColor, top);
    QFETCH(QColor, bottom);
    QFETCH(int, middleValue);

    QStyleOptionButton option;
    option.rect = QRect(0, 0, 40, 15);
    option.state = state;
    option.palette = mPalette;
    const QImage image = painted(
        40, 15, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &p); });

    // Border pieces from the state's own set (top and bottom edges are opaque single pixels).
    const QString set = QStringLiteral(":/data/style/") + imageSet;
    QCOMPARE(image.pixelColor(20, 0), QImage(set + QLatin1String("_2.png")).pixelColor(0, 0));
    QCOMPARE(image.pixelColor(20, 14), QImage(set + QLatin1String("_6.png")).pixelColor(0, 0));
    // Centre: the state's gradient, rows 1 to 13, from the top colour's value to the bottom's.
    QCOMPARE(image.pixelColor(20, 1), gradientRow(top, top.value()));
    QCOMPARE(image.pixelColor(20, 7), gradientRow(top, middleValue));
    QCOMPARE(image.pixelColor(20, 13), gradientRow(top, bottom.value()));
    // Pressed looks are darker at the top, released ones lighter.
    const bool pressed = state & (QStyle::State_Sunken | QStyle::State_On);
    QCOMPARE(image.pixelColor(20, 1).value() < image.pixelColor(20, 13).value(), pressed);
}

void TstStylePainting::lowButtonHasNoGradient()
{
    QStyleOptionButton option;
    option.rect = QRect(0, 0, 20, 3);
    option.state = QStyle::State_Enabled;
    const QImage image = painted(
        20, 3, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &p); });
    QVERIFY(untouched(image, QRect(1, 1, 18, 1)));
    const QColor topEdge = QImage(QStringLiteral(":/data/style/pushbutton_normal_2.png")).pixelColor(0, 0);
    QCOMPARE(image.pixelColor(10, 0), topEdge);
}

void TstStylePainting::focusIndicatorIsTwoVerticalLines()
{
    const QColor orange(236, 117, 0);
    QStyleOptionFocusRect option;
    option.rect = QRect(3, 2, 20, 10);
    const QImage image =
        painted(26, 14, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p); });
    QCOMPARE(countColour(image, orange, QRect(3, 2, 1, 10)), 10);
    QCOMPARE(countColour(image, orange, QRect(22, 2, 1, 10)), 10);
    QCOMPARE(countColour(image, orange, image.rect()), 20);
    QVERIFY(untouched(image, QRect(4, 2, 18, 1)));
    QVERIFY(untouched(image, QRect(4, 11, 18, 1)));

    // A focus-rect element needs a focus-rect option.
    QStyleOption plain;
    plain.rect = option.rect;
    const QImage wrong =
        painted(26, 14, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_FrameFocusRect, &plain, &p); });
    QVERIFY(untouched(wrong, wrong.rect()));
}

void TstStylePainting::focusedButtonShowsFocusLines()
{
    QStyleOptionButton option;
    option.rect = QRect(0, 0, 60, 15);
    option.state = QStyle::State_Enabled | QStyle::State_HasFocus;
    option.palette = mPalette;
    const QImage image =
        painted(60, 15, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_PushButton, &option, &p); });
    const QColor orange(236, 117, 0);
    QCOMPARE(countColour(image, orange, QRect(0, 0, 1, 15)), 15);
    QCOMPARE(countColour(image, orange, QRect(59, 0, 1, 15)), 15);
    QCOMPARE(countColour(image, orange, QRect(1, 0, 58, 1)), 0);
    QCOMPARE(countColour(image, orange, QRect(1, 14, 58, 1)), 0);

    option.state &= ~QStyle::State_HasFocus;
    const QImage unfocused =
        painted(60, 15, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_PushButton, &option, &p); });
    QCOMPARE(countColour(unfocused, orange, unfocused.rect()), 0);
}

void TstStylePainting::sunkenFrameColours_data()
{
    QTest::addColumn<QPoint>("probe");
    QTest::addColumn<QColor>("colour");

    const QColor frame(68, 76, 91);
    const QColor shadow(23, 23, 23);
    // Frame of a 20 x 10 rectangle at (0, 0).
    QTest::newRow("outline top-left") << QPoint(0, 0) << frame;
    QTest::newRow("outline top") << QPoint(10, 0) << frame;
    QTest::newRow("outline top-right") << QPoint(19, 0) << frame;
    QTest::newRow("outline right") << QPoint(19, 5) << frame;
    QTest::newRow("outline bottom-right") << QPoint(19, 9) << frame;
    QTest::newRow("outline bottom") << QPoint(10, 9) << frame;
    QTest::newRow("outline left") << QPoint(0, 5) << frame;
    QTest::newRow("inner top line") << QPoint(10, 1) << shadow;
    QTest::newRow("inner top line, right end") << QPoint(18, 1) << shadow;
    QTest::newRow("inner left line") << QPoint(1, 5) << shadow;
    QTest::newRow("inner left line, bottom end") << QPoint(1, 8) << shadow;
    QTest::newRow("no inner right line") << QPoint(18, 5) << transparent;
    QTest::newRow("no inner bottom line") << QPoint(10, 8) << transparent;
    QTest::newRow("inside is left alone") << QPoint(10, 5) << transparent;
}

void TstStylePainting::sunkenFrameColours()
{
    QFETCH(QPoint, probe);
    QFETCH(QColor, colour);
    const QImage helper =
        painted(20, 10, [](QPainter& p) { Painting::drawSunkenFrame(&p, QRect(0, 0, 20, 10)); });
    QCOMPARE(helper.pixelColor(probe), colour);

    // The frame elements draw the same frame.
    for (const auto element : {QStyle::PE_Frame, QStyle::PE_FrameGroupBox, QStyle::PE_FrameLineEdit})
    {
        QStyleOptionFrame option;
        option.rect = QRect(0, 0, 20, 10);
        const QImage image =
            painted(20, 10, [&](QPainter& p) { mStyle->drawPrimitive(element, &option, &p); });
        QCOMPARE(image, helper);
    }
    QStyleOptionTabWidgetFrame tabFrame;
    tabFrame.rect = QRect(0, 0, 20, 10);
    QCOMPARE(painted(20, 10,
                     [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_FrameTabWidget, &tabFrame, &p); }),
             helper);
}

void TstStylePainting::arrowTintAndPlacement_data()
{
    QTest::addColumn<QStyle::PrimitiveElement>("element");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QString>("image");
    QTest::addColumn<bool>("mirrorVertically");
    QTest::addColumn<bool>("mirrorHorizontally");

    // The element's rectangle is (4, 3) 21 x 16: middle column 10, middle row 8.
    using S = QStyle;
    QTest::newRow("up, enabled: left + 2, middle - 2")
        << S::PE_IndicatorArrowUp << true << QPoint(6, 9) << "arrow_up.png" << false << false;
    QTest::newRow("up, disabled") << S::PE_IndicatorArrowUp << false << QPoint(6, 9) << "arrow_up.png"
                                  << false << false;
    QTest::newRow("down is the up image upside down")
        << S::PE_IndicatorArrowDown << true << QPoint(6, 9) << "arrow_up.png" << true << false;
    QTest::newRow("drop-down shows the down arrow")
        << S::PE_IndicatorButtonDropDown << true << QPoint(6, 9) << "arrow_up.png" << true << false;
    QTest::newRow("right: middle column, top + 2")
        << S::PE_IndicatorArrowRight << true << QPoint(14, 5) << "arrow_right.png" << false << false;
    QTest::newRow("left is the right image mirrored, disabled")
        << S::PE_IndicatorArrowLeft << false << QPoint(14, 5) << "arrow_right.png" << false << true;
    QTest::newRow("spin up: left edge, middle - 2")
        << S::PE_IndicatorSpinUp << true << QPoint(4, 9) << "arrow_up_small.png" << false << false;
    QTest::newRow("spin down, disabled")
        << S::PE_IndicatorSpinDown << false << QPoint(4, 9) << "arrow_up_small.png" << true << false;
}

void TstStylePainting::arrowTintAndPlacement()
{
    QFETCH(QStyle::PrimitiveElement, element);
    QFETCH(bool, enabled);
    QFETCH(QPoint, position);
    QFETCH(QString, image);
    QFETCH(bool, mirrorVertically);
    QFETCH(bool, mirrorHorizontally);

    QStyleOption option;
    option.rect = QRect(4, 3, 21, 16);
    option.state = enabled ? QStyle::State_Enabled : QStyle::State_None;
    const QImage result = painted(30, 22, [&](QPainter& p) { mStyle->drawPrimitive(element, &option, &p); });

    const QColor tint = enabled ? QColor(167, 175, 190) : QColor(127, 133, 143);
    const QImage source = QImage(QStringLiteral(":/data/") + image)
                              .mirrored(mirrorHorizontally, mirrorVertically)
                              .convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < source.height(); ++y)
    {
        for (int x = 0; x < source.width(); ++x)
        {
            const QColor painted = result.pixelColor(position + QPoint(x, y));
            const int alpha = qAlpha(source.pixel(x, y));
            if (alpha == 255)
            {
                QCOMPARE(painted, tint);
                ++opaque;
            }
            else if (alpha == 0)
                QCOMPARE(painted, transparent);
            else
                QCOMPARE(painted.alpha(), alpha);
        }
    }
    QVERIFY(opaque > 0);
    QCOMPARE(30 * 22 - countColour(result, transparent, result.rect()),
             source.width() * source.height() - countColour(source, transparent, source.rect()));
}

void TstStylePainting::headerArrowFollowsSortOrder_data()
{
    QTest::addColumn<int>("sort");
    QTest::addColumn<bool>("upImage");

    QTest::newRow("sorted down shows the up arrow") << int(QStyleOptionHeader::SortDown) << true;
    QTest::newRow("sorted up shows the down arrow") << int(QStyleOptionHeader::SortUp) << false;
    QTest::newRow("unsorted shows the down arrow") << int(QStyleOptionHeader::None) << false;
}

void TstStylePainting::headerArrowFollowsSortOrder()
{
    QFETCH(int, sort);
    QFETCH(bool, upImage);

    QStyleOptionHeader option;
    option.rect = QRect(0, 0, 20, 16);
    option.state = QStyle::State_Enabled;
    option.sortIndicator = QStyleOptionHeader::SortIndicator(sort);
    const QImage result = painted(
        20, 16, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_IndicatorHeaderArrow, &option, &p); });
    // The tip is the single pixel at the image's middle column: top row for up, bottom row for
    // down (the fifth row of both is empty, so the down arrow's tip is one row lower).
    const QColor tint(167, 175, 190);
    QCOMPARE(result.pixelColor(5, 6) == tint, upImage);
    QCOMPARE(result.pixelColor(5, 10) == tint, !upImage);
}

void TstStylePainting::checkIndicatorImage_data()
{
    QTest::addColumn<QStyle::State>("state");
    QTest::addColumn<QString>("image");

    using S = QStyle;
    QTest::newRow("not checked") << QStyle::State(S::State_Enabled | S::State_Off) << "check_normal_9";
    QTest::newRow("not checked, disabled") << QStyle::State(S::State_Off) << "check_normal_9";
    QTest::newRow("checked") << QStyle::State(S::State_Enabled | S::State_On) << "check_active_9";
    QTest::newRow("checked, disabled") << QStyle::State(S::State_On) << "check_disabled_9";
}

void TstStylePainting::checkIndicatorImage()
{
    QFETCH(QStyle::State, state);
    QFETCH(QString, image);

    const QPixmap centre(QStringLiteral(":/data/style/") + image + QLatin1String(".png"));
    QStyleOptionButton option;
    option.rect = QRect(0, 0, 15, 15);
    option.state = state;
    const QImage result = painted(
        15, 15, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &p); });
    // Scaled into the rectangle less 2 at left and top and 3 at right and bottom.
    const QImage expected = painted(15, 15, [&](QPainter& p) { p.drawPixmap(QRect(2, 2, 10, 10), centre); });
    QCOMPARE(result, expected);
}

void TstStylePainting::menuCheckMarkImage()
{
    QStyleOptionMenuItem option;
    option.rect = QRect(0, 0, 20, 17);
    option.state = QStyle::State_Enabled;
    option.checked = true;
    const QImage checked = painted(
        20, 17, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_IndicatorMenuCheckMark, &option, &p); });
    const QPixmap active(QStringLiteral(":/data/style/check_active_9.png"));
    QCOMPARE(checked, painted(20, 17, [&](QPainter& p) { p.drawPixmap(QRect(2, 1, 11, 11), active); }));

    option.checked = false;
    const QImage unchecked = painted(
        20, 17, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_IndicatorMenuCheckMark, &option, &p); });
    const QPixmap normal(QStringLiteral(":/data/style/check_normal_9.png"));
    QCOMPARE(unchecked, painted(20, 17, [&](QPainter& p) { p.drawPixmap(QRect(2, 1, 11, 11), normal); }));
}

void TstStylePainting::tipPanel()
{
    QStyleOptionFrame option;
    option.rect = QRect(0, 0, 20, 10);
    const QImage image =
        painted(20, 10, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_PanelTipLabel, &option, &p); });
    QCOMPARE(image.pixelColor(0, 0), QColor(68, 76, 91));
    QCOMPARE(image.pixelColor(1, 1), QColor(23, 23, 23));
    QCOMPARE(image.pixelColor(2, 2), QColor(255, 255, 220));
    QCOMPARE(image.pixelColor(18, 8), QColor(255, 255, 220));
    QCOMPARE(image.pixelColor(19, 9), QColor(68, 76, 91));
}

void TstStylePainting::lineEditPanel_data()
{
    QTest::addColumn<int>("lineWidth");
    QTest::addColumn<QColor>("corner");

    QTest::newRow("with a frame line") << 1 << QColor(68, 76, 91);
    QTest::newRow("without frame: base only") << 0 << QColor(41, 41, 41);
}

void TstStylePainting::lineEditPanel()
{
    QFETCH(int, lineWidth);
    QFETCH(QColor, corner);
    QStyleOptionFrame option;
    option.rect = QRect(0, 0, 20, 10);
    option.palette = mPalette;
    option.lineWidth = lineWidth;
    const QImage image =
        painted(20, 10, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &p); });
    QCOMPARE(image.pixelColor(0, 0), corner);
    QCOMPARE(image.pixelColor(10, 5), QColor(41, 41, 41));
}

void TstStylePainting::menuBarPanelHasFlatBottom()
{
    QStyleOptionFrame option;
    option.rect = QRect(0, 0, 30, 22);
    const QImage image =
        painted(30, 22, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_PanelMenuBar, &option, &p); });
    QCOMPARE(image.pixelColor(10, 21), QColor(34, 38, 45));
    QCOMPARE(image.pixelColor(29, 21), QColor(34, 38, 45));
    QCOMPARE(image.pixelColor(10, 0), QImage(QStringLiteral(":/data/style/menubar_2.png")).pixelColor(0, 0));
    QVERIFY(untouched(image, QRect(1, 1, 28, 20)));
}

void TstStylePainting::toolPanelMatchesCommandPanel_data()
{
    QTest::addColumn<QStyle::State>("state");

    using S = QStyle;
    QTest::newRow("normal") << QStyle::State(S::State_Enabled);
    QTest::newRow("hovered") << (S::State_Enabled | S::State_MouseOver);
    QTest::newRow("checked") << (S::State_Enabled | S::State_On);
    QTest::newRow("disabled and pressed") << QStyle::State(S::State_Sunken);
}

void TstStylePainting::toolPanelMatchesCommandPanel()
{
    QFETCH(QStyle::State, state);
    QStyleOptionButton button;
    button.rect = QRect(0, 0, 30, 15);
    button.state = state;
    QStyleOptionToolButton tool;
    tool.rect = button.rect;
    tool.state = state;
    const QImage command = painted(
        30, 15, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_PanelButtonCommand, &button, &p); });
    const QImage toolPanel =
        painted(30, 15, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_PanelButtonTool, &tool, &p); });
    QVERIFY(!untouched(toolPanel, toolPanel.rect()));
    QCOMPARE(toolPanel, command);
}

void TstStylePainting::itemViewCheck_data()
{
    QTest::addColumn<QStyle::State>("state");
    QTest::addColumn<QColor>("mark"); // the tick's colour, invalid for none

    using S = QStyle;
    QTest::newRow("checked: active tick") << (S::State_Enabled | S::State_On) << QColor(0, 147, 221);
    QTest::newRow("checked and read-only: disabled tick")
        << (S::State_Enabled | S::State_On | S::State_ReadOnly) << QColor(127, 133, 143);
    QTest::newRow("unchecked and read-only: disabled tick")
        << (S::State_Enabled | S::State_Off | S::State_ReadOnly) << QColor(127, 133, 143);
    QTest::newRow("checked, disabled: disabled tick") << QStyle::State(S::State_On) << QColor(127, 133, 143);
    QTest::newRow("unchecked: no tick") << (S::State_Enabled | S::State_Off) << QColor();
}

void TstStylePainting::itemViewCheck()
{
    QFETCH(QStyle::State, state);
    QFETCH(QColor, mark);

    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 60, 24);
    option.state = state;
    option.features = QStyleOptionViewItem::HasCheckIndicator;
    option.checkState = state & QStyle::State_On ? Qt::Checked : Qt::Unchecked;
    const QRect r = mStyle->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, nullptr);
    QVERIFY(r.width() > 6 && r.height() > 6);
    const QImage image = painted(
        60, 24,
        [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &option, &p); });
    // The sunken frame around the indicator, and inner right and bottom lines in the button colour.
    QCOMPARE(image.pixelColor(r.topLeft()), QColor(68, 76, 91));
    QCOMPARE(image.pixelColor(r.bottomRight()), QColor(68, 76, 91));
    QCOMPARE(image.pixelColor(r.left() + 1, r.top() + 1), QColor(23, 23, 23));
    QCOMPARE(image.pixelColor(r.right() - 1, r.top() + 2), QColor(41, 41, 41));
    QCOMPARE(image.pixelColor(r.left() + 2, r.bottom() - 1), QColor(41, 41, 41));
    // Nothing outside the indicator.
    QCOMPARE(countColour(image, transparent, image.rect()), 60 * 24 - r.width() * r.height());

    const QRect centre = r.adjusted(2, 2, -2, -2);
    if (!mark.isValid())
    {
        QCOMPARE(countColour(image, QColor(0, 147, 221), centre), 0);
        QCOMPARE(countColour(image, QColor(127, 133, 143), centre), 0);
        return;
    }
    QVERIFY(countColour(image, mark, centre) > 0);
}

void TstStylePainting::branchIndicator_data()
{
    QTest::addColumn<QStyle::State>("state");
    QTest::addColumn<Qt::LayoutDirection>("direction");
    QTest::addColumn<bool>("box");
    QTest::addColumn<bool>("plus");      // vertical bar of the closed box
    QTest::addColumn<int>("itemLineX");  // a column of the line to the item, -1 for none
    QTest::addColumn<bool>("lineBelow"); // a sibling follows
    QTest::addColumn<bool>("lineAbove");

    using S = QStyle;
    // A 20 x 20 rectangle: centre (9, 9), box (5, 5) to (13, 13).
    QTest::newRow("closed parent with a sibling") << (S::State_Children | S::State_Item | S::State_Sibling)
                                                  << Qt::LeftToRight << true << true << 16 << true << true;
    QTest::newRow("open parent, last item") << (S::State_Children | S::State_Open | S::State_Item)
                                            << Qt::LeftToRight << true << false << 16 << false << true;
    QTest::newRow("leaf item: line from the centre")
        << QStyle::State(S::State_Item) << Qt::LeftToRight << false << false << 11 << false << true;
    QTest::newRow("leaf item, right to left: line to the left edge")
        << QStyle::State(S::State_Item) << Qt::RightToLeft << false << false << 2 << false << true;
    QTest::newRow("only a sibling passes")
        << QStyle::State(S::State_Sibling) << Qt::LeftToRight << false << false << -1 << true << true;
    QTest::newRow("nothing at all") << QStyle::State(S::State_None) << Qt::LeftToRight << false << false << -1
                                    << false << false;
}

void TstStylePainting::branchIndicator()
{
    QFETCH(QStyle::State, state);
    QFETCH(Qt::LayoutDirection, direction);
    QFETCH(bool, box);
    QFETCH(bool, plus);
    QFETCH(int, itemLineX);
    QFETCH(bool, lineBelow);
    QFETCH(bool, lineAbove);

    QStyleOption option;
    option.rect = QRect(0, 0, 20, 20);
    option.state = state;
    option.direction = direction;
    option.palette = mPalette;
    const QImage image =
        painted(20, 20, [&](QPainter& p) { mStyle->drawPrimitive(QStyle::PE_IndicatorBranch, &option, &p); });
    const QColor lines(167, 175, 190);
    const auto inked = [&](const QRect& area)
    { return countColour(image, transparent, area) < area.width() * area.height(); };

    QCOMPARE(image.pixelColor(5, 5) == lines && image.pixelColor(13, 13) == lines, box);
    QCOMPARE(image.pixelColor(7, 9) == lines && image.pixelColor(11, 9) == lines, box);
    QCOMPARE(image.pixelColor(9, 7) == lines, plus);
    if (itemLineX >= 0)
        QVERIFY(inked(QRect(itemLineX, 9, 3, 1)));
    else
        QVERIFY(!inked(QRect(14, 9, 6, 1)) && !inked(QRect(0, 9, 5, 1)));
    QCOMPARE(inked(QRect(9, 15, 1, 5)), lineBelow);
    QCOMPARE(inked(QRect(9, 0, 1, 4)), lineAbove);
}

QTEST_MAIN(TstStylePainting)
#include "tst_stylepainting.moc"
