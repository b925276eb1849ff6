#include "catalogue.h"
#include "colortable.h"

#include <QPainter>
#include <QPainterPath>
#include <QTransform>

// Arrows, slider grips and the small icons of ":/data/". Arrows and grips are white shapes on
// transparent pixels: the style tints them, so only their alpha matters.

namespace
{

const QColor white(255, 255, 255);

QImage rotatedClockwise(const QImage& image)
{
    return image.transformed(QTransform().rotate(90));
}

// A triangle pointing up: rows of 1, 3, 5 ... pixels, the last row left empty so the arrow
// sits a little high in its box. The pixels beside the tip are faint, which smooths the point.
QImage upArrow(int width, int height)
{
    QImage image = canvas(width, height);
    const int middle = width / 2;
    for (int row = 0; row < height - 1; ++row)
    {
        for (int x = middle - row; x <= middle + row; ++x)
        {
            if (x >= 0 && x < width)
                image.setPixelColor(x, row, white);
        }
    }
    QColor faint = white;
    faint.setAlpha(80);
    image.setPixelColor(middle - 1, 0, faint);
    image.setPixelColor(middle + 1, 0, faint);
    return image;
}

// Grip ridges: every other column lit over the full height.
QImage grip(int width, int height)
{
    QImage image = canvas(width, height);
    for (int x = 0; x < width; x += 2)
    {
        for (int y = 0; y < height; ++y)
            image.setPixelColor(x, y, white);
    }
    return image;
}

QImage fastForward()
{
    QImage image = canvas(11, 7);
    for (int column = 0; column < 5; ++column)
    {
        for (int y = column; y < 7 - column; ++y)
        {
            image.setPixelColor(column, y, white);
            image.setPixelColor(column + 6, y, white);
        }
    }
    return image;
}

QImage focusBorder()
{
    QImage image = canvas(8, 8);
    QPainter painter(&image);
    painter.setPen(ColorTable::colorFocus);
    painter.drawRect(0, 0, 7, 7);
    return image;
}

enum class Sign
{
    Info,
    Question,
    Warning,
    Critical
};

// The coloured plate behind a message sign: a disc, or a triangle for warnings.
void drawSignPlate(QPainter& painter, Sign sign)
{
    switch (sign)
    {
    case Sign::Info:
    case Sign::Question:
        painter.setBrush(QColor(0, 110, 190));
        painter.drawEllipse(QRectF(1, 1, 30, 30));
        break;
    case Sign::Warning:
    {
        painter.setBrush(QColor(240, 190, 30));
        const QPointF triangle[] = {{16, 2}, {31, 29}, {1, 29}};
        painter.drawPolygon(triangle, 3);
        break;
    }
    case Sign::Critical:
        painter.setBrush(QColor(200, 30, 30));
        painter.drawEllipse(QRectF(1, 1, 30, 30));
        break;
    }
}

// The sign on the plate, drawn as shapes: white, dark on the yellow warning triangle.
void drawSignMark(QPainter& painter, Sign sign)
{
    const QColor mark = sign == Sign::Warning ? QColor(40, 40, 40) : white;
    painter.setBrush(mark);
    switch (sign)
    {
    case Sign::Info:
        painter.drawEllipse(QRectF(14, 6, 4, 4));
        painter.drawRect(QRectF(14, 12, 4, 13));
        break;
    case Sign::Question:
    {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(mark, 3.5, Qt::SolidLine, Qt::FlatCap));
        QPainterPath hook;
        hook.arcMoveTo(QRectF(10, 6, 12, 10), 160);
        hook.arcTo(QRectF(10, 6, 12, 10), 160, -250);
        hook.lineTo(16, 20);
        painter.drawPath(hook);
        painter.setPen(Qt::NoPen);
        painter.setBrush(mark);
        painter.drawEllipse(QRectF(14, 22, 4, 4));
        break;
    }
    case Sign::Warning:
        painter.drawRect(QRectF(14.5, 10, 3, 11));
        painter.drawEllipse(QRectF(14.5, 23, 3, 3));
        break;
    case Sign::Critical:
        painter.setPen(QPen(mark, 4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(10, 10), QPointF(22, 22));
        painter.drawLine(QPointF(22, 10), QPointF(10, 22));
        break;
    }
}

// Message icons, drawn on a 32 x 32 grid and scaled to `size`.
QImage messageIcon(Sign sign, int size)
{
    QImage image = canvas(size, size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    painter.setPen(Qt::NoPen);
    drawSignPlate(painter, sign);
    drawSignMark(painter, sign);
    return image;
}

const QColor paper(225, 228, 232);
const QColor outline(60, 66, 76);
const QColor folderYellow(214, 170, 70);

QImage page()
{
    QImage image = canvas(16, 16);
    QPainter painter(&image);
    painter.setPen(outline);
    painter.setBrush(paper);
    const QPoint sheet[] = {{3, 1}, {10, 1}, {13, 4}, {13, 14}, {3, 14}};
    painter.drawPolygon(sheet, 5);
    painter.drawLine(10, 1, 10, 4);
    painter.drawLine(10, 4, 13, 4);
    return image;
}

QImage folder(bool open)
{
    QImage image = canvas(16, 16);
    QPainter painter(&image);
    painter.setPen(outline);
    painter.setBrush(folderYellow.darker(120));
    painter.drawRect(1, 3, 13, 10);
    painter.drawRect(1, 2, 5, 1);
    painter.setBrush(folderYellow);
    if (open)
    {
        const QPoint flap[] = {{3, 6}, {15, 6}, {13, 13}, {1, 13}};
        painter.drawPolygon(flap, 4);
    }
    else
        painter.drawRect(1, 5, 13, 8);
    return image;
}

QImage fileOpen()
{
    QImage image = folder(true);
    QPainter painter(&image);
    painter.setPen(QPen(QColor(40, 140, 60), 1));
    painter.drawLine(11, 1, 11, 5);
    painter.drawLine(9, 3, 11, 1);
    painter.drawLine(13, 3, 11, 1);
    return image;
}

QImage floppy()
{
    QImage image = canvas(16, 16);
    QPainter painter(&image);
    painter.setPen(outline);
    painter.setBrush(QColor(70, 90, 130));
    painter.drawRect(1, 1, 13, 13);
    painter.setBrush(paper);
    painter.drawRect(4, 1, 7, 5);
    painter.setBrush(QColor(40, 44, 50));
    painter.drawRect(4, 9, 7, 5);
    return image;
}

QImage flow()
{
    QImage image = canvas(16, 16);
    QPainter painter(&image);
    painter.setPen(outline);
    painter.setBrush(QColor(0, 147, 221));
    painter.drawRect(1, 1, 5, 4);
    painter.drawRect(9, 6, 5, 4);
    painter.drawRect(1, 11, 5, 4);
    painter.drawLine(6, 3, 11, 3);
    painter.drawLine(11, 3, 11, 6);
    painter.drawLine(11, 10, 11, 13);
    painter.drawLine(11, 13, 6, 13);
    return image;
}

QImage withFold(QImage image)
{
    // A new file: the page with a small star in its corner.
    QPainter painter(&image);
    painter.setPen(QColor(236, 117, 0));
    painter.drawLine(1, 9, 5, 9);
    painter.drawLine(3, 7, 3, 11);
    return image;
}

} // namespace

void addGlyphs(std::vector<ImageEntry>& entries)
{
    const auto add = [&entries](const char* name, std::function<QImage()> draw) {
        entries.push_back({QLatin1String("data/") + QLatin1String(name), std::move(draw)});
    };
    add("arrow_up.png", [] { return upArrow(7, 5); });
    add("arrow_right.png", [] { return rotatedClockwise(upArrow(7, 5)); });
    add("arrow_up_small.png", [] { return upArrow(5, 4); });
    add("arrow_right_small.png", [] { return rotatedClockwise(upArrow(5, 4)); });
    add("slider.png", [] { return grip(4, 7); });
    add("slider_rotate.png", [] { return rotatedClockwise(grip(4, 7)); });
    add("ff_arrows.png", fastForward);
    add("focusborder.png", focusBorder);

    add("icon_info.png", [] { return messageIcon(Sign::Info, 32); });
    add("icon_info_small.png", [] { return messageIcon(Sign::Info, 16); });
    add("icon_question.png", [] { return messageIcon(Sign::Question, 32); });
    add("icon_question_small.png", [] { return messageIcon(Sign::Question, 16); });
    add("icon_warning.png", [] { return messageIcon(Sign::Warning, 32); });
    add("icon_warning_small.png", [] { return messageIcon(Sign::Warning, 16); });
    add("icon_critical.png", [] { return messageIcon(Sign::Critical, 32); });
    add("icon_critical_small.png", [] { return messageIcon(Sign::Critical, 16); });
    add("filenew.png", [] { return withFold(page()); });
    add("fileopen.png", fileOpen);
    add("filesave.png", floppy);
    add("folder_open.png", [] { return folder(true); });
    add("folder_close.png", [] { return folder(false); });
    add("flow.png", flow);
}
