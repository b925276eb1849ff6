#pragma once

#include "imagefile.h"

#include <QPixmap>
#include <QString>

#include <array>

// The nine images a resizable frame is cut into: four corners, four edges that stretch, and a
// centre. The numbering is the one the image files carry in their names ("_1" ... "_9").
class NinePiece
{
public:
    enum Piece
    {
        TopLeft = 1,
        Top = 2,
        TopRight = 3,
        Right = 4,
        BottomRight = 5,
        Bottom = 6,
        BottomLeft = 7,
        Left = 8,
        Centre = 9
    };

    NinePiece() = default;

    // Loads "<prefix>_1.png" ... "<prefix>_9.png"; a missing file leaves its piece null.
    static NinePiece load(const QString& prefix)
    {
        NinePiece set;
        for (int piece = TopLeft; piece <= Centre; ++piece)
            set.mPieces[piece - 1] =
                readStylePixmap(prefix + QLatin1Char('_') + QString::number(piece) + QLatin1String(".png"));
        return set;
    }

    const QPixmap& piece(Piece piece) const { return mPieces[piece - 1]; }
    void setPiece(Piece piece, const QPixmap& pixmap) { mPieces[piece - 1] = pixmap; }

    // The same set with another centre (pixmaps are shared, so this is cheap).
    NinePiece withCentre(const QPixmap& centre) const
    {
        NinePiece set = *this;
        set.setPiece(Centre, centre);
        return set;
    }

private:
    std::array<QPixmap, 9> mPieces;
};
