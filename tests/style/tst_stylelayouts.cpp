// Where the labelled elements put their parts: the menu item's text, shortcut, icon and
// sub-menu arrow, the header label, the combo box label and the tool button's icon. Each case
// is painted twice, once by the style and once by hand at the documented place, and the inks
// are compared; icons are solid blocks whose place is given as a rectangle.
#include "paintprobe.h"
#include "quorrelstyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>
#include <QTest>

Q_DECLARE_METATYPE(Qt::LayoutDirection)

namespace
{

using namespace PaintProbe;

// The text roles the elements use are painted in this colour, so that their ink can be told
// from fills, frames and arrows.
const QColor kInk(255, 0, 255);
// Icons are blocks of this colour.
const QColor kIconColour(255, 0, 0);
const int kTextFlags =
    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip | Qt::TextShowMnemonic;

QIcon block(const QSize& size)
{
    QPixmap pixmap(size);
    pixmap.fill(kIconColour);
    return QIcon(pixmap);
}

QPalette inkPalette()
{
    QPalette palette = QApplication::palette();
    for (const auto role : {QPalette::ButtonText, QPalette::HighlightedText, QPalette::WindowText})
        palette.setColor(role, kInk);
    return palette;
}

struct Text
{
    QRect rect; // inclusive corners, as documented
    int flags;
    QString text;
};

// The texts as drawn by hand in the application font, `clip` applied when it is valid.
QImage handDrawn(const QSize& size, const QList<Text>& texts, const QRect& clip = QRect())
{
    return painted(size.width(), size.height(),
                   [&](QPainter& p)
                   {
                       if (clip.isValid())
                           p.setClipRect(clip);
                       p.setPen(kInk);
                       for (const Text& text : texts)
                           p.drawText(text.rect, text.flags, text.text);
                   });
}

QRect corners(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

Q_DECLARE_METATYPE(Text)

class TstStyleLayouts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void menuItem_data();
    void menuItem();
    void headerLabel_data();
    void headerLabel();
    void comboBoxLabel_data();
    void comboBoxLabel();
    void toolButtonIcon_data();
    void toolButtonIcon();

private:
    QuorrelStyle* mStyle = nullptr;
};

void TstStyleLayouts::initTestCase()
{
    mStyle = new QuorrelStyle;
    QApplication::setStyle(mStyle);
}

void TstStyleLayouts::menuItem_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("shortcutWidth");
    QTest::addColumn<Qt::LayoutDirection>("direction");
    QTest::addColumn<QSize>("icon"); // empty: none
    QTest::addColumn<QList<Text>>("texts");
    QTest::addColumn<QRect>("iconAt");
    QTest::addColumn<QPoint>("arrowAt"); // where the arrow image's corner goes; (-1, -1): none

    // A 100 x 17 item: text rectangle (20, 2) to (100 - shortcut width - 15, 14); check area
    // (2, 0) to (16, 15); sub-menu arrow rectangle at x = 100 - (17 - 4) / 2 - 8 = 86, from
    // (88, 3) to (91, 8), its image at the middle column 88 + 2 and the top + 2.
    using M = QStyleOptionMenuItem;
    const QPoint none(-1, -1);
    const auto ltr = Qt::LeftToRight;
    QTest::newRow("text 20 in") << int(M::Normal) << "Open" << 0 << ltr << QSize()
                                << QList<Text>{{corners(20, 2, 85, 14), kTextFlags, "Open"}} << QRect()
                                << none;
    QTest::newRow("right to left: text rectangle mirrored")
        << int(M::Normal) << "Open" << 0 << Qt::RightToLeft << QSize()
        << QList<Text>{{corners(14, 2, 79, 14), kTextFlags, "Open"}} << QRect() << none;
    QTest::newRow("shortcut from the text rectangle's right edge")
        << int(M::Normal) << "Open\tCtrl+O" << 30 << ltr << QSize()
        << QList<Text>{{corners(20, 2, 55, 14), kTextFlags, "Open"},
                       {corners(55, 2, 99, 14), kTextFlags, "Ctrl+O"}}
        << QRect() << none;
    QTest::newRow("icon centred in the check area")
        << int(M::Normal) << "Open" << 0 << ltr << QSize(9, 8)
        << QList<Text>{{corners(20, 2, 85, 14), kTextFlags, "Open"}} << QRect(5, 4, 9, 8) << none;
    QTest::newRow("sub-menu arrow near the right edge")
        << int(M::SubMenu) << "Recent" << 0 << ltr << QSize()
        << QList<Text>{{corners(20, 2, 85, 14), kTextFlags, "Recent"}} << QRect() << QPoint(90, 5);
}

void TstStyleLayouts::menuItem()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(int, shortcutWidth);
    QFETCH(Qt::LayoutDirection, direction);
    QFETCH(QSize, icon);
    QFETCH(QList<Text>, texts);
    QFETCH(QRect, iconAt);
    QFETCH(QPoint, arrowAt);

    QStyleOptionMenuItem item;
    item.rect = QRect(0, 0, 100, 17);
    item.state = QStyle::State_Enabled;
    item.palette = inkPalette();
    item.direction = direction;
    item.menuItemType = QStyleOptionMenuItem::MenuItemType(type);
    item.text = text;
    item.reservedShortcutWidth = shortcutWidth;
    item.font = QApplication::font();
    if (!icon.isEmpty())
        item.icon = block(icon);
    const QImage image =
        painted(100, 17, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_MenuItem, &item, &p); });

    QVERIFY(box(image, kInk).isValid());
    QCOMPARE(only(image, kInk), only(handDrawn(image.size(), texts), kInk));
    QCOMPARE(box(image, kIconColour), iconAt);
    // The arrow's opaque pixels carry the enabled tint.
    QRect arrow;
    if (arrowAt.x() >= 0)
    {
        const QImage source(QStringLiteral(":/data/arrow_right.png"));
        for (int y = 0; y < source.height(); ++y)
            for (int x = 0; x < source.width(); ++x)
                if (qAlpha(source.pixel(x, y)) == 255)
                    arrow |= QRect(arrowAt + QPoint(x, y), QSize(1, 1));
        QVERIFY(arrow.isValid());
    }
    QCOMPARE(box(image, QColor(167, 175, 190)), arrow);
}

void TstStyleLayouts::headerLabel_data()
{
    QTest::addColumn<int>("textAlignment");
    QTest::addColumn<Qt::LayoutDirection>("direction");
    QTest::addColumn<int>("iconAlignment");
    QTest::addColumn<bool>("withIcon");
    QTest::addColumn<QRect>("textRect");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QRect>("iconAt");

    // An 80 x 15 section: text in (left, top - 3) to (right, bottom + 2); a 10 x 8 icon takes
    // its width + 2 from the text's side.
    const int centredLeft = Qt::AlignLeft | Qt::AlignVCenter;
    const int right = Qt::AlignRight | Qt::AlignVCenter;
    QTest::newRow("centred text goes left") << int(Qt::AlignCenter) << Qt::LeftToRight << 0 << false
                                            << corners(0, -3, 79, 16) << centredLeft << QRect();
    QTest::newRow("right-aligned text stays")
        << right << Qt::LeftToRight << 0 << false << corners(0, -3, 79, 16) << right << QRect();
    QTest::newRow("icon at the left, text after it")
        << centredLeft << Qt::LeftToRight << centredLeft << true << corners(12, -3, 79, 16) << centredLeft
        << QRect(0, 3, 10, 8);
    QTest::newRow("right to left: icon at the right, text before it")
        << centredLeft << Qt::RightToLeft << right << true << corners(0, -3, 67, 16) << centredLeft
        << QRect(70, 3, 10, 8);
}

void TstStyleLayouts::headerLabel()
{
    QFETCH(int, textAlignment);
    QFETCH(Qt::LayoutDirection, direction);
    QFETCH(int, iconAlignment);
    QFETCH(bool, withIcon);
    QFETCH(QRect, textRect);
    QFETCH(int, flags);
    QFETCH(QRect, iconAt);

    QStyleOptionHeader header;
    header.rect = QRect(0, 0, 80, 15);
    header.state = QStyle::State_Enabled;
    header.palette = inkPalette();
    header.direction = direction;
    header.text = QStringLiteral("Serial");
    header.textAlignment = Qt::Alignment(textAlignment);
    header.iconAlignment = Qt::Alignment(iconAlignment);
    if (withIcon)
        header.icon = block(QSize(10, 8));
    const QImage image =
        painted(80, 15, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_HeaderLabel, &header, &p); });

    QVERIFY(box(image, kInk).isValid());
    QCOMPARE(only(image, kInk), only(handDrawn(image.size(), {{textRect, flags, header.text}}), kInk));
    QCOMPARE(box(image, kIconColour), iconAt);
}

void TstStyleLayouts::comboBoxLabel_data()
{
    QTest::addColumn<bool>("editable");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("withIcon");
    QTest::addColumn<QRect>("field");  // the edit field moved right by 1: the clip
    QTest::addColumn<int>("textLeft"); // -1: no text
    QTest::addColumn<QRect>("iconAt");

    // An 80 x 15 combo. Not editable: field (0, -1) to (80 - 13, 15 - 2), moved right by 1.
    // Editable: (2, 1) to (80 - 15, 13), moved likewise. An 8 x 6 icon sits left in the field,
    // centred on its height; the text starts 8 + 4 after the field's left edge.
    const QRect plain = corners(1, -1, 68, 13);
    const QRect editable = corners(3, 1, 66, 13);
    QTest::newRow("text at the field's left") << false << "Leaf" << false << plain << 1 << QRect();
    QTest::newRow("long text clipped at the field's right")
        << false << "Self Signed Root Certificate, long" << false << plain << 1 << QRect();
    QTest::newRow("icon, then the text") << false << "Leaf" << true << plain << 13 << QRect(1, 3, 8, 6);
    QTest::newRow("editable: icon only, the line edit shows the text")
        << true << "Leaf" << true << editable << -1 << QRect(3, 4, 8, 6);
}

void TstStyleLayouts::comboBoxLabel()
{
    QFETCH(bool, editable);
    QFETCH(QString, text);
    QFETCH(bool, withIcon);
    QFETCH(QRect, field);
    QFETCH(int, textLeft);
    QFETCH(QRect, iconAt);

    QStyleOptionComboBox combo;
    combo.rect = QRect(0, 0, 80, 15);
    combo.state = QStyle::State_Enabled;
    combo.palette = inkPalette();
    combo.editable = editable;
    combo.currentText = text;
    combo.iconSize = QSize(8, 6);
    if (withIcon)
        combo.currentIcon = block(combo.iconSize);
    const QImage image =
        painted(80, 15, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_ComboBoxLabel, &combo, &p); });

    QList<Text> texts;
    if (textLeft >= 0)
        texts.append({QRect(QPoint(textLeft, field.top()), field.bottomRight()),
                      Qt::AlignLeft | Qt::AlignVCenter, text});
    QCOMPARE(box(image, kInk).isValid(), !texts.isEmpty());
    QCOMPARE(only(image, kInk), only(handDrawn(image.size(), texts, field), kInk));
    QCOMPARE(box(image, kIconColour), iconAt);
    // An editable combo's icon stands on the base colour; nothing is drawn outside the field.
    if (editable)
        QCOMPARE(image.pixelColor(iconAt.left(), field.top()), QApplication::palette().color(QPalette::Base));
    QCOMPARE(countColour(image, transparent, QRect(field.right() + 1, 0, 80 - field.right() - 1, 15)),
             (80 - field.right() - 1) * 15);
}

void TstStyleLayouts::toolButtonIcon_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("sunken");
    QTest::addColumn<QRect>("iconAt");
    QTest::addColumn<QRect>("textRect"); // null: no text
    QTest::addColumn<int>("flags");

    // A 40 x 30 label with an 8 x 6 icon. Under the icon the text takes the bottom font
    // height + 3 rows and the icon is centred above; beside it the icon is centred in a box of
    // 8 + 7 columns and the text follows.
    const int fontHeight = QFontMetrics(QApplication::font()).height();
    const int textTop = 30 - (fontHeight + 3);
    QTest::newRow("icon only: centred")
        << int(Qt::ToolButtonIconOnly) << false << QRect(16, 12, 8, 6) << QRect() << 0;
    QTest::newRow("icon only, pressed: one down and right")
        << int(Qt::ToolButtonIconOnly) << true << QRect(17, 13, 8, 6) << QRect() << 0;
    QTest::newRow("text under the icon")
        << int(Qt::ToolButtonTextUnderIcon) << false << QRect(16, (textTop - 6) / 2, 8, 6)
        << corners(0, textTop, 39, 29) << int(Qt::AlignCenter | Qt::TextShowMnemonic);
    QTest::newRow("text beside the icon")
        << int(Qt::ToolButtonTextBesideIcon) << false << QRect(3, 12, 8, 6) << corners(15, 0, 39, 29)
        << int(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic);
}

void TstStyleLayouts::toolButtonIcon()
{
    QFETCH(int, style);
    QFETCH(bool, sunken);
    QFETCH(QRect, iconAt);
    QFETCH(QRect, textRect);
    QFETCH(int, flags);

    QStyleOptionToolButton tool;
    tool.rect = QRect(0, 0, 40, 30);
    tool.state = QStyle::State_Enabled | (sunken ? QStyle::State_Sunken : QStyle::State_None);
    tool.palette = inkPalette();
    tool.font = QApplication::font();
    tool.toolButtonStyle = Qt::ToolButtonStyle(style);
    tool.text = QStringLiteral("Go");
    tool.iconSize = QSize(8, 6);
    tool.icon = block(tool.iconSize);
    const QImage image =
        painted(40, 30, [&](QPainter& p) { mStyle->drawControl(QStyle::CE_ToolButtonLabel, &tool, &p); });

    QCOMPARE(box(image, kIconColour), iconAt);
    QList<Text> texts;
    if (textRect.isValid())
        texts.append({textRect, flags, tool.text});
    QCOMPARE(box(image, kInk).isValid(), !texts.isEmpty());
    QCOMPARE(only(image, kInk), only(handDrawn(image.size(), texts), kInk));
}

QTEST_MAIN(TstStyleLayouts)
#include "tst_stylelayouts.moc"
