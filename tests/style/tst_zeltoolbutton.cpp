// The style library's tool button: its properties and how the style paints it.
#include "paintprobe.h"
#include "quorrelstyle.h"
#include "zeltoolbutton.h"

#include <QApplication>
#include <QMenu>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QPainter>
#include <QTest>

namespace
{

using namespace PaintProbe;

// Leftmost and rightmost columns holding a pixel of `colour`, or (-1, -1).
std::pair<int, int> columnsOf(const QImage& image, const QColor& colour, const QRect& area)
{
    int left = -1;
    int right = -1;
    for (int x = area.left(); x <= area.right(); ++x)
    {
        for (int y = area.top(); y <= area.bottom(); ++y)
        {
            if (image.pixelColor(x, y) == colour)
            {
                if (left < 0)
                    left = x;
                right = x;
                break;
            }
        }
    }
    return {left, right};
}

// Where the first ink of a text lies when it is drawn from x = 0 in a font.
int leftBearing(const QString& text, const QFont& font)
{
    QImage image(80, 20, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignLeft | Qt::AlignVCenter, text);
    painter.end();
    return columnsOf(image, Qt::white, image.rect()).first;
}

} // namespace

class TstZelToolButton : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void properties_data();
    void properties();
    void defaultsToCentredAlignment();
    void togglePropertyIsCheckable();
    void textProperty();

    void centredTextByDefault();
    void leftAlignedTextMovesRight_data();
    void leftAlignedTextMovesRight();
    void menuButtonPopupDropsArrowFeature();
};

void TstZelToolButton::initTestCase()
{
    QApplication::setStyle(new QuorrelStyle);
}

void TstZelToolButton::properties_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QMetaType>("type");

    QTest::newRow("alignment") << QByteArray("alignment") << QMetaType::fromType<Qt::Alignment>();
    QTest::newRow("toggle") << QByteArray("toggle") << QMetaType::fromType<bool>();
    QTest::newRow("text") << QByteArray("text") << QMetaType::fromType<QString>();
}

void TstZelToolButton::properties()
{
    QFETCH(QByteArray, name);
    QFETCH(QMetaType, type);

    const QMetaObject& meta = ZelToolButton::staticMetaObject;
    QCOMPARE(meta.className(), "ZelToolButton");
    QCOMPARE(meta.superClass(), &QToolButton::staticMetaObject);
    const int index = meta.indexOfProperty(name.constData());
    QVERIFY(index >= meta.propertyOffset());
    const QMetaProperty property = meta.property(index);
    // Qt 6 names a flag type by its template ("QFlags<Qt::AlignmentFlag>"), so the type is
    // compared as a meta type and the flag's own name is read from its enumerator below.
    QCOMPARE(property.metaType(), type);
    QVERIFY(property.isReadable());
    QVERIFY(property.isWritable());
    QVERIFY(property.isDesignable());
    QVERIFY(property.isScriptable());
    QVERIFY(property.isStored());
    QVERIFY(!property.isResettable());
    QVERIFY(!property.hasNotifySignal());
    if (name == "alignment")
    {
        QVERIFY(property.isFlagType());
        const QMetaEnum flags = property.enumerator();
        QCOMPARE(QByteArray(flags.scope()) + "::" + flags.name(), QByteArray("Qt::Alignment"));
    }
}

void TstZelToolButton::defaultsToCentredAlignment()
{
    ZelToolButton button;
    QCOMPARE(button.alignment(), Qt::Alignment(Qt::AlignCenter));
    QCOMPARE(int(button.alignment()), 0x84);
    QCOMPARE(button.property("alignment").value<Qt::Alignment>(), Qt::Alignment(Qt::AlignCenter));

    QVERIFY(
        button.setProperty("alignment", QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignTop))));
    QCOMPARE(button.alignment(), Qt::AlignRight | Qt::AlignTop);
}

void TstZelToolButton::togglePropertyIsCheckable()
{
    ZelToolButton button;
    QCOMPARE(button.property("toggle").toBool(), false);
    QVERIFY(button.setProperty("toggle", true));
    QVERIFY(button.isCheckable());
    button.setCheckable(false);
    QCOMPARE(button.property("toggle").toBool(), false);
}

void TstZelToolButton::textProperty()
{
    ZelToolButton button;
    QVERIFY(button.setProperty("text", QStringLiteral("Browse")));
    QCOMPARE(button.text(), QStringLiteral("Browse"));
    button.setText(QStringLiteral("Go"));
    QCOMPARE(button.property("text").toString(), QStringLiteral("Go"));
}

void TstZelToolButton::centredTextByDefault()
{
    ZelToolButton button;
    button.setText(QStringLiteral("Go"));
    button.resize(60, 15);
    const QImage image = grab(button);
    // Label rectangle: the button less 2 on every side, (2, 2) to (57, 12); its middle is 29.5.
    const auto [left, right] = columnsOf(image, buttonText, image.rect());
    QVERIFY(left > 2);
    QVERIFY2(qAbs((left + right) - 59) <= 2,
             qPrintable(QStringLiteral("text spans %1 to %2").arg(left).arg(right)));
}

void TstZelToolButton::leftAlignedTextMovesRight_data()
{
    QTest::addColumn<bool>("down");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("shift");

    QTest::newRow("released: 4 right of the label rectangle") << false << false << 0;
    QTest::newRow("pressed: one more") << true << false << 1;
    QTest::newRow("checked: one more") << false << true << 1;
}

void TstZelToolButton::leftAlignedTextMovesRight()
{
    QFETCH(bool, down);
    QFETCH(bool, checked);
    QFETCH(int, shift);

    const QString text = QStringLiteral("Browse");
    ZelToolButton button;
    button.setText(text);
    button.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    button.setCheckable(checked);
    button.setChecked(checked);
    button.setDown(down);
    button.resize(80, 15);
    const QImage image = grab(button);

    const QColor ink = checked ? accent : buttonText;
    const int labelLeft = 2;
    QCOMPARE(columnsOf(image, ink, image.rect()).first,
             labelLeft + 4 + shift + leftBearing(text, button.font()));
}

void TstZelToolButton::menuButtonPopupDropsArrowFeature()
{
    QMenu menu;
    menu.addAction(QStringLiteral("Entry"));
    const auto setUp = [&menu](QToolButton& button)
    {
        button.setMenu(&menu);
        button.setPopupMode(QToolButton::MenuButtonPopup);
        button.setArrowType(Qt::UpArrow);
        button.resize(60, 15);
    };
    ZelToolButton zel;
    setUp(zel);
    const QImage image = grab(zel);

    // The 15-pixel menu section at the right holds the down arrow: its tip (image row 0, mirrored
    // to row 4) sits at (45 + 2 + 3, 15 / 2 - 2 + 4).
    QCOMPARE(image.pixelColor(50, 9), buttonText);
    QCOMPARE(image.pixelColor(50, 5) == buttonText, false);
    // The label left of it shows no arrow: the arrow feature was dropped.
    QCOMPARE(columnsOf(image, buttonText, QRect(0, 0, 45, 15)).first, -1);

    // A plain tool button keeps the arrow in its label.
    QToolButton plain;
    setUp(plain);
    const QImage plainImage = grab(plain);
    QVERIFY(columnsOf(plainImage, buttonText, QRect(0, 0, 45, 15)).first >= 0);
}

QTEST_MAIN(TstZelToolButton)
#include "tst_zeltoolbutton.moc"
