#include "catalogue.h"
#include "colortable.h"

#include <QPainter>
#include <QTransform>

// The nine-piece sets of ":/data/style/". Button and menu-bar borders are one pixel wide;
// their edges are one pixel long and stretch when drawn. Radio and check frames have a
// two-pixel border around an 11 x 11 centre.

namespace
{

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

// The nine pieces of a button border in the colours of one button look.
std::vector<QImage> buttonPieces(int look)
{
    constexpr int edge = 13;
    const HandleColors& c = sliderHandleColors[look];
    const GradientPair& centre = buttonLooks[look].gradient;
    return {
        filled(1, 1, withAlpha(c.topLine, 128)),                       // 1: corners are half
        filled(1, 1, c.topLine),                                       // 2: covered, which
        filled(1, 1, withAlpha(c.topRightPoint, 128)),                 // 3: rounds them off
        verticalStrip(1, edge, c.rightColumnTop, c.rightColumnBottom), // 4
        filled(1, 1, withAlpha(c.bottomLine, 128)),                    // 5
        filled(1, 1, c.bottomLine),                                    // 6
        filled(1, 1, withAlpha(c.bottomLeftPoint, 128)),               // 7
        verticalStrip(1, edge, c.leftColumnTop, c.leftColumnBottom),   // 8
        verticalStrip(1, edge, centre.top, centre.bottom),             // 9
    };
}

// A set turned upside down: bottom tabs are top tabs hanging from the other edge.
std::vector<QImage> upsideDown(const std::vector<QImage>& pieces)
{
    // Top and bottom pieces swap places (1<->7, 2<->6, 3<->5) and every piece is flipped.
    const int order[9] = {6, 5, 4, 3, 2, 1, 0, 7, 8};
    std::vector<QImage> result;
    for (int index : order)
        result.push_back(pieces[index].mirrored(false, true));
    return result;
}

std::vector<QImage> menuBarPieces()
{
    constexpr int edge = 22;
    return {
        filled(1, 1, QColor(70, 78, 92)),
        filled(1, 1, QColor(70, 78, 92)),
        filled(1, 1, QColor(60, 67, 79)),
        verticalStrip(1, edge, QColor(50, 56, 67), ElementColors::menuBarBottom),
        filled(1, 1, ElementColors::menuBarBottom),
        filled(1, 1, ElementColors::menuBarBottom),
        filled(1, 1, ElementColors::menuBarBottom),
        verticalStrip(1, edge, QColor(80, 89, 105), ElementColors::menuBarTop),
        verticalStrip(1, edge, ElementColors::menuBarTop, ElementColors::menuBarBottomRow),
    };
}

// A two-pixel frame: the outer ring in `outer`, the inner one shaded darker at top and left.
std::vector<QImage> ringPieces(const QColor& outer, const QImage& centre)
{
    constexpr int side = 11;
    const QColor shadow = ColorTable::colorFrameShadow;
    const QColor lit = ColorTable::colorBase;

    QImage topLeft = canvas(2, 2);
    topLeft.setPixelColor(1, 0, outer);
    topLeft.setPixelColor(0, 1, outer);
    topLeft.setPixelColor(1, 1, shadow);
    QImage top = canvas(side, 2);
    QImage bottom = canvas(side, 2);
    QImage left = canvas(2, side);
    QImage right = canvas(2, side);
    for (int i = 0; i < side; ++i)
    {
        top.setPixelColor(i, 0, outer);
        top.setPixelColor(i, 1, shadow);
        bottom.setPixelColor(i, 0, lit);
        bottom.setPixelColor(i, 1, outer);
        left.setPixelColor(0, i, outer);
        left.setPixelColor(1, i, shadow);
        right.setPixelColor(0, i, lit);
        right.setPixelColor(1, i, outer);
    }
    QImage topRight = topLeft.mirrored(true, false);
    topRight.setPixelColor(0, 1, shadow);
    QImage bottomLeft = topLeft.mirrored(false, true);
    bottomLeft.setPixelColor(1, 0, shadow);
    QImage bottomRight = topLeft.mirrored(true, true);
    bottomRight.setPixelColor(0, 0, lit);
    return {topLeft, top, topRight, right, bottomRight, bottom, bottomLeft, left, centre};
}

QImage plainCentre()
{
    return filled(11, 11, ColorTable::colorBase);
}

QImage dotCentre()
{
    QImage image = plainCentre();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ColorTable::colorAccent);
    painter.drawEllipse(QRectF(2.5, 2.5, 6, 6));
    return image;
}

QImage checkCentre(const QColor& mark)
{
    QImage image = plainCentre();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(mark, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF tick[] = {{2.0, 5.5}, {4.5, 8.0}, {9.0, 2.5}};
    painter.drawPolyline(tick, 3);
    return image;
}

QImage eject()
{
    QImage image = canvas(16, 16);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ColorTable::colorButtonText);
    const QPointF triangle[] = {{8, 2}, {14, 9}, {2, 9}};
    painter.drawPolygon(triangle, 3);
    painter.drawRect(QRectF(2, 11, 12, 3));
    return image;
}

void addSet(std::vector<ImageEntry>& entries, const QString& name,
            std::function<std::vector<QImage>()> pieces)
{
    // Each piece is drawn on its own; the set is cheap to rebuild.
    for (int piece = 1; piece <= 9; ++piece)
    {
        entries.push_back({QStringLiteral("data/style/%1_%2.png").arg(name).arg(piece),
                           [pieces, piece] { return pieces()[piece - 1]; }});
    }
}

} // namespace

void addStylePieces(std::vector<ImageEntry>& entries)
{
    for (int look = 0; look < 6; ++look)
        addSet(entries, QLatin1String(buttonLooks[look].imageSet), [look] { return buttonPieces(look); });
    const int normal = static_cast<int>(ButtonImageState::Normal);
    const int pressed = static_cast<int>(ButtonImageState::Pressed);
    addSet(entries, QStringLiteral("menubutton_normal"), [normal] { return buttonPieces(normal); });
    addSet(entries, QStringLiteral("menubutton_pressed"), [pressed] { return buttonPieces(pressed); });
    addSet(entries, QStringLiteral("menubar"), menuBarPieces);
    addSet(entries, QStringLiteral("topTab_active"), [pressed] { return buttonPieces(pressed); });
    addSet(entries, QStringLiteral("topTab_nonactive"), [normal] { return buttonPieces(normal); });
    addSet(entries, QStringLiteral("bottomTab_active"),
           [pressed] { return upsideDown(buttonPieces(pressed)); });
    addSet(entries, QStringLiteral("bottomTab_nonactive"),
           [normal] { return upsideDown(buttonPieces(normal)); });
    addSet(entries, QStringLiteral("radio_normal"),
           [] { return ringPieces(ColorTable::colorFrame, plainCentre()); });
    addSet(entries, QStringLiteral("radio_active"),
           [] { return ringPieces(QColor(0, 110, 170), dotCentre()); });

    entries.push_back({QStringLiteral("data/style/check_normal_9.png"), plainCentre});
    entries.push_back({QStringLiteral("data/style/check_active_9.png"),
                       [] { return checkCentre(ColorTable::colorAccent); }});
    entries.push_back({QStringLiteral("data/style/check_disabled_9.png"),
                       [] { return checkCentre(ColorTable::colorDisabledText); }});
    entries.push_back({QStringLiteral("data/style/eject.png"), eject});
}
