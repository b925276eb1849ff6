#include "catalogue.h"
#include "colortable.h"

#include <QPainter>

// The application icon for desktop menus: a chain of three certificates, the root at the top
// left, an intermediate and the leaf below it, on the window's dark plate. Drawn as shapes on
// a 64-unit grid and scaled, so every size is sharp and none needs a font.

namespace
{

// The sizes desktop environments look up in the hicolor theme.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

constexpr double kGrid = 64.0;

struct Node
{
    QPointF centre;
    QColor colour;
};

void drawPlate(QPainter& painter)
{
    painter.setPen(QPen(ColorTable::colorFrame, 2.5));
    painter.setBrush(ColorTable::colorWindow);
    painter.drawRoundedRect(QRectF(2, 2, kGrid - 4, kGrid - 4), 12, 12);
}

// A certificate: a card with a seal in its lower right corner.
void drawCertificate(QPainter& painter, const Node& node)
{
    const QRectF card(node.centre.x() - 11, node.centre.y() - 8, 22, 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(node.colour);
    painter.drawRoundedRect(card, 3, 3);
    painter.setBrush(ColorTable::colorHighlightedText);
    painter.drawRect(QRectF(card.left() + 4, card.top() + 4, 11, 2.5));
    painter.setBrush(ColorTable::colorFocus);
    painter.drawEllipse(QPointF(card.right() - 4.5, card.bottom() - 4), 3.5, 3.5);
}

QImage applicationIcon(int size)
{
    const Node chain[] = {
        {{19, 16}, ColorTable::colorAccent},
        {{32, 32}, ColorTable::colorHighlight.lighter(140)},
        {{45, 48}, ColorTable::colorButtonText},
    };
    QImage image = canvas(size, size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / kGrid, size / kGrid);
    drawPlate(painter);
    // The links go under the cards, issuer to subject.
    painter.setPen(QPen(ColorTable::colorWindowText, 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i + 1 < 3; ++i)
        painter.drawLine(chain[i].centre, chain[i + 1].centre);
    for (const Node& node : chain)
        drawCertificate(painter, node);
    return image;
}

} // namespace

std::vector<ImageEntry> applicationIcons()
{
    std::vector<ImageEntry> entries;
    for (const int size : kIconSizes)
        entries.push_back(
            {QStringLiteral("%1x%1/apps/talvane.png").arg(size), [size] { return applicationIcon(size); }});
    return entries;
}
