#include "catalogue.h"
#include "colortable.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

// Media and timeline images, the logo, the cursor and the "not supported" card.

namespace
{

const QColor light(200, 205, 212);
const QColor dim(110, 116, 126);
const QColor accent = ColorTable::colorAccent;

QImage glyph(void (*draw)(QPainter&), int width, int height)
{
    QImage image = canvas(width, height);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(light);
    draw(painter);
    return image;
}

void triangleRight(QPainter& painter, double left, double top, double width, double height)
{
    const QPointF points[] = {{left, top}, {left + width, top + height / 2}, {left, top + height}};
    painter.drawPolygon(points, 3);
}

void drawWave(QPainter& painter, const QRectF& area)
{
    painter.setPen(QPen(QColor(90, 200, 120), 1.5));
    QPainterPath wave;
    for (int x = 0; x <= int(area.width()); ++x)
    {
        const double y = area.center().y() + std::sin(x * 0.45) * std::cos(x * 0.07) * area.height() / 2;
        if (x == 0)
            wave.moveTo(area.left(), y);
        else
            wave.lineTo(area.left() + x, y);
    }
    painter.drawPath(wave);
    painter.setPen(Qt::NoPen);
}

void drawFilmStrip(QPainter& painter, const QRectF& area)
{
    painter.setBrush(QColor(20, 22, 26));
    painter.drawRect(area);
    painter.setBrush(QColor(60, 90, 140));
    painter.drawRect(area.adjusted(8, 6, -8, -6));
    painter.setBrush(light);
    for (double x = area.left() + 2; x < area.right() - 3; x += 8)
    {
        painter.drawRect(QRectF(x, area.top() + 1, 4, 3));
        painter.drawRect(QRectF(x, area.bottom() - 4, 4, 3));
    }
}

// What a clip thumbnail shows, by the kind of clip.

void audioClip(QPainter& p)
{
    drawWave(p, QRectF(8, 16, 112, 40));
}

void videoClip(QPainter& p)
{
    drawFilmStrip(p, QRectF(16, 8, 96, 56));
}

void videoAudioClip(QPainter& p)
{
    drawFilmStrip(p, QRectF(16, 4, 96, 40));
    drawWave(p, QRectF(16, 50, 96, 16));
}

void groupClip(QPainter& p)
{
    for (int i = 2; i >= 0; --i)
    {
        p.setBrush(QColor(60 + 30 * i, 90 + 20 * i, 140));
        p.drawRect(QRectF(24 + 10 * i, 12 + 8 * i, 60, 34));
    }
}

void pendingClip(QPainter& p)
{
    p.setBrush(light);
    const QPointF glass[] = {{50, 14}, {78, 14}, {64, 36}, {78, 58}, {50, 58}, {64, 36}};
    p.drawPolygon(glass, 6);
}

void unknownClip(QPainter& p)
{
    p.setPen(QPen(dim, 4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(40, 14, 48, 44));
    p.drawLine(QPointF(40, 14), QPointF(88, 58));
    p.drawLine(QPointF(88, 14), QPointF(40, 58));
}

// Thumbnails for clips in a bin, 128 x 72.
QImage clip(void (*drawContent)(QPainter&))
{
    QImage image = verticalStrip(128, 72, QColor(52, 56, 64), QColor(30, 32, 36));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    drawContent(painter);
    return image;
}

// The small glyphs; each starts from glyph()'s painter: antialiased, no pen, a `light` brush.

void play(QPainter& p)
{
    triangleRight(p, 4, 3, 9, 10);
}

void step(QPainter& p)
{
    triangleRight(p, 3, 3, 8, 10);
    p.drawRect(QRectF(11, 3, 2, 10));
}

void tenSteps(QPainter& p)
{
    triangleRight(p, 1, 4, 6, 8);
    triangleRight(p, 7, 4, 6, 8);
    p.drawRect(QRectF(13, 4, 2, 8));
}

void skip(QPainter& p)
{
    p.drawRect(QRectF(2, 3, 2, 10));
    triangleRight(p, 5, 3, 8, 10);
}

void loop(QPainter& p)
{
    p.setPen(QPen(light, 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2, 3, 12, 10), 30 * 16, 300 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(light);
    const QPointF head[] = {{11, 2}, {15, 5}, {11, 8}};
    p.drawPolygon(head, 3);
}

void pingPong(QPainter& p)
{
    p.drawRect(QRectF(4, 7, 8, 2));
    const QPointF left[] = {{1, 8}, {5, 4}, {5, 12}};
    const QPointF right[] = {{15, 8}, {11, 4}, {11, 12}};
    p.drawPolygon(left, 3);
    p.drawPolygon(right, 3);
}

void toStart(QPainter& p)
{
    p.drawRect(QRectF(2, 3, 2, 10));
    const QPointF back[] = {{13, 3}, {13, 13}, {5, 8}};
    p.drawPolygon(back, 3);
}

void tapeInOut(QPainter& p)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(light, 1.5));
    p.drawEllipse(QRectF(1.5, 4.5, 6, 6));
    p.drawEllipse(QRectF(8.5, 4.5, 6, 6));
    p.drawLine(QPointF(4.5, 10.5), QPointF(11.5, 10.5));
}

void inOutButton(QPainter& p)
{
    p.drawRect(QRectF(2, 2, 2, 12));
    p.drawRect(QRectF(12, 2, 2, 12));
    p.setBrush(accent);
    p.drawRect(QRectF(5, 7, 6, 2));
}

void inOutMarker(QPainter& p)
{
    p.setBrush(accent);
    const QPointF marker[] = {{0, 0}, {9, 0}, {4.5, 9}};
    p.drawPolygon(marker, 3);
}

void inOutRangeButton(QPainter& p)
{
    p.drawRect(QRectF(1, 3, 2, 10));
    p.drawRect(QRectF(13, 3, 2, 10));
    p.setBrush(accent);
    p.drawRect(QRectF(3, 6, 10, 4));
}

void editMode(QPainter& p)
{
    p.setPen(QPen(light, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 13), QPointF(12, 4));
}

void masterMode(QPainter& p)
{
    p.drawEllipse(QRectF(3, 3, 10, 10));
    p.setBrush(accent);
    p.drawEllipse(QRectF(6, 6, 4, 4));
}

void trimMode(QPainter& p)
{
    p.drawRect(QRectF(7, 2, 2, 12));
    const QPointF left[] = {{6, 8}, {2, 5}, {2, 11}};
    const QPointF right[] = {{10, 8}, {14, 5}, {14, 11}};
    p.drawPolygon(left, 3);
    p.drawPolygon(right, 3);
}

void playhead(QPainter& p)
{
    p.setBrush(QColor(236, 117, 0));
    const QPointF head[] = {{0, 0}, {9, 0}, {9, 4}, {4.5, 8}, {0, 4}};
    p.drawPolygon(head, 5);
    p.drawRect(QRectF(4, 8, 1, 5));
}

void ledOn(QPainter& p)
{
    p.setBrush(QColor(52, 211, 44));
    p.drawEllipse(QRectF(0.5, 0.5, 7, 7));
}

void ledOff(QPainter& p)
{
    p.setBrush(QColor(25, 70, 25));
    p.drawEllipse(QRectF(0.5, 0.5, 7, 7));
}

void defragDrive(QPainter& p)
{
    p.setBrush(QColor(90, 96, 106));
    p.drawRoundedRect(QRectF(1, 4, 14, 8), 2, 2);
    p.setBrush(QColor(52, 211, 44));
    p.drawRect(QRectF(11, 9, 2, 1.5));
}

void defragFolder(QPainter& p)
{
    p.setBrush(QColor(214, 170, 70));
    p.drawRect(QRectF(1, 4, 14, 10));
    p.drawRect(QRectF(1, 2, 6, 2));
}

void smiley(QPainter& p)
{
    p.setBrush(QColor(240, 200, 40));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(QRectF(4.5, 4.5, 2, 2.5));
    p.drawEllipse(QRectF(9.5, 4.5, 2, 2.5));
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 5, 8, 7), 200 * 16, 140 * 16);
}

QImage logo()
{
    // Three slanted bars on a dark plate.
    QImage image = canvas(139, 75);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ColorTable::colorFrame, 2));
    painter.setBrush(QColor(36, 38, 42));
    painter.drawRoundedRect(QRectF(1, 1, 137, 73), 10, 10);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i)
    {
        painter.setBrush(QColor(0, 147 - 30 * i, 221 - 40 * i));
        const double x = 30 + 28 * i;
        const QPointF bar[] = {{x + 16, 14}, {x + 34, 14}, {x + 18, 61}, {x, 61}};
        painter.drawPolygon(bar, 4);
    }
    return image;
}

QImage crossCursor()
{
    QImage image = canvas(32, 32);
    QPainter painter(&image);
    for (const auto& [colour, width] : {std::pair{QColor(0, 0, 0), 3}, std::pair{QColor(255, 255, 255), 1}})
    {
        painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(16, 2), QPointF(16, 13));
        painter.drawLine(QPointF(16, 19), QPointF(16, 30));
        painter.drawLine(QPointF(2, 16), QPointF(13, 16));
        painter.drawLine(QPointF(19, 16), QPointF(30, 16));
    }
    return image;
}

QImage notSupported()
{
    QImage image = verticalStrip(178, 38, QColor(60, 60, 62), QColor(38, 38, 40));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(220, 60, 50), 2.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(6, 10, 18, 18));
        painter.drawLine(QPointF(9, 13), QPointF(21, 25));
    }
    const QString text = QStringLiteral("NOT SUPPORTED");
    const int x = 27 + (178 - 27 - pixelTextWidth(text, 2)) / 2;
    drawPixelText(image, x, 12, text, light, 2);
    return image;
}

struct ClipImage
{
    const char* name;
    void (*drawContent)(QPainter&);
};

constexpr ClipImage clipImages[] = {
    {"clip_audio.png", audioClip}, {"clip_video.png", videoClip},     {"clip_videoaudio.png", videoAudioClip},
    {"clip_group.png", groupClip}, {"clip_pending.png", pendingClip}, {"clip_unknown.png", unknownClip},
};

struct GlyphImage
{
    const char* name;
    void (*draw)(QPainter&);
    int width;
    int height;
};

constexpr GlyphImage glyphImages[] = {
    {"play.png", play, 16, 16},
    {"step.png", step, 16, 16},
    {"10step.png", tenSteps, 16, 16},
    {"skip.png", skip, 16, 16},
    {"loop.png", loop, 16, 16},
    {"pingPong.png", pingPong, 16, 16},
    {"tl_start.png", toStart, 16, 16},
    {"vtr_io.png", tapeInOut, 16, 16},
    {"io_button.png", inOutButton, 16, 16},
    {"io_marker.png", inOutMarker, 9, 9},
    {"io_range_button.png", inOutRangeButton, 16, 16},
    {"mode_edit.png", editMode, 16, 16},
    {"mode_master.png", masterMode, 16, 16},
    {"mode_trim.png", trimMode, 16, 16},
    {"scrubbar_playhead.png", playhead, 9, 13},
    {"led_on.png", ledOn, 8, 8},
    {"led_off.png", ledOff, 8, 8},
    {"defrag_drive.png", defragDrive, 16, 16},
    {"defrag_folder.png", defragFolder, 16, 16},
    {"smiley.png", smiley, 16, 16},
};

// Vertical gradients one pixel wide.
struct StripImage
{
    const char* name;
    QColor top;
    QColor bottom;
    int height;
};

constexpr StripImage stripImages[] = {
    {"scrub_9.png", {70, 78, 92}, {40, 44, 53}, 13},
    {"scrubbar_9.png", {30, 32, 36}, {50, 54, 60}, 13},
    {"timeline_text.png", {64, 70, 82}, {48, 52, 60}, 16},
    {"timeline_thumb.png", {60, 90, 140}, {40, 60, 100}, 16},
    {"timeline_thumb_all.png", {80, 110, 160}, {50, 75, 120}, 16},
    {"timeline_wave.png", {50, 110, 70}, {30, 70, 45}, 16},
};

struct PictureImage
{
    const char* name;
    QImage (*draw)();
};

constexpr PictureImage pictureImages[] = {
    {"zel_logo_small.png", logo},
    {"cursor_zelcross.png", crossCursor},
    {"not_supported.png", notSupported},
};

} // namespace

void addMediaImages(std::vector<ImageEntry>& entries)
{
    const auto add = [&entries](const char* name, std::function<QImage()> draw) {
        entries.push_back({QLatin1String("data/") + QLatin1String(name), std::move(draw)});
    };
    for (const ClipImage& image : clipImages)
        add(image.name, [image] { return clip(image.drawContent); });
    for (const GlyphImage& image : glyphImages)
        add(image.name, [image] { return glyph(image.draw, image.width, image.height); });
    for (const StripImage& image : stripImages)
        add(image.name, [image] { return verticalStrip(1, image.height, image.top, image.bottom); });
    for (const PictureImage& image : pictureImages)
        add(image.name, image.draw);
}

QImage notSupportedCard()
{
    return notSupported();
}
