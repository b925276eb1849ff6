#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <vector>

// One file of the style's resource tree and how to draw it.
struct ImageEntry
{
    QString path; // relative to the output folder, e.g. "data/style/menubar_1.png"
    std::function<QImage()> draw;
};

// Every image of the tree, in the order of the resource file.
std::vector<ImageEntry> imageCatalogue();

// The application icon at the sizes of an icon theme, as "NxN/apps/talvane.png".
std::vector<ImageEntry> applicationIcons(); // icon.cpp

// The raw 4:2:2 (U Y V Y) frame of an image, as the board's video output takes it.
QByteArray toUyvy(const QImage& image);

// Drawing families, each in its own file.
void addStylePieces(std::vector<ImageEntry>& entries); // stylepieces.cpp
void addGlyphs(std::vector<ImageEntry>& entries);      // glyphs.cpp
void addMediaImages(std::vector<ImageEntry>& entries); // media.cpp

// The "not supported" card, also the source of the raw video frame.
QImage notSupportedCard(); // media.cpp

// Shared drawing helpers (canvas.cpp).
QImage canvas(int width, int height); // transparent ARGB32
QImage verticalStrip(int width, int height, const QColor& top, const QColor& bottom);
QImage filled(int width, int height, const QColor& colour);
// Text from a built-in 5 x 7 pixel font (capital letters, digits and space), so the images
// come out the same whatever fonts the build machine has.
void drawPixelText(QImage& image, int x, int y, const QString& text, const QColor& colour, int scale);
int pixelTextWidth(const QString& text, int scale);
