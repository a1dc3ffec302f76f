#pragma once

#include "host/canvas.h"

#include <QPixmap>

#include <functional>
#include <map>

class QPainter;
class QColor;
class QPen;

/// The side of the square images of the host's image lists, in logical pixels.
constexpr int ImageSize = 16;

/// A transparent ImageSize square pixmap painted by Draw in 16 by 16 logical units, at the
/// screen's pixel ratio so that it stays sharp on high-density screens. Main thread only.
QPixmap PaintImage(const std::function<void(QPainter&)>& Draw);
/// A solid pen with round caps and joins, as the host's glyphs draw their strokes.
QPen ImagePen(const QColor& Colour, qreal Width);

/// A list of equally sized images addressed by index, drawn enabled or greyed.
/// Main thread only (pixmaps belong to the GUI thread).
class TImageList {
public:
    TImageList(int Width, int Height) : FWidth(Width), FHeight(Height) {}

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    /// Sets image Index (replacing one already there); the pixmap is scaled to the list's size
    /// when it differs.
    void SetImage(int Index, const QPixmap& Image);
    bool HasImage(int Index) const;
    /// Image Index, or a null pixmap when there is none.
    QPixmap Image(int Index) const;
    /// Draws image Index with its top-left corner at (X, Y); a greyed (disabled) copy when
    /// Enabled is false. Nothing for an index without an image.
    void Draw(QPainter& Painter, int X, int Y, int Index, bool Enabled) const;

private:
    int FWidth;
    int FHeight;
    std::map<int, QPixmap> FImages;
    /// Greyed copies made by Draw on first use; SetImage drops the stale one.
    mutable std::map<int, QPixmap> FGreyed;
};

/// The host's main image list (16 by 16), holding the item kind images at the indexes the items
/// draw: 90 the project's to-do file, 91 a project source file, 92 another source file. Other
/// packages may add images of their own at free indexes. Main thread only.
TImageList& MainImageList();

/// The canvas through which items draw their kind image into a widget: DrawImage paints image
/// Index of MainImageList with Painter (not owned).
class TPainterCanvas : public TCanvas {
public:
    explicit TPainterCanvas(QPainter& Painter) : FPainter(Painter) {}
    void DrawImage(int Index, int X, int Y, bool Enabled) override;

private:
    QPainter& FPainter; // not owned
};
