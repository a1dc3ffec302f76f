#pragma once

/// A rectangle in pixels; Right and Bottom are exclusive.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

/// Where an item draws its kind image. The GUI provides the implementation; the core only
/// passes it through, so the core stays free of any widget library.
class TCanvas {
public:
    virtual ~TCanvas() = default;
    /// Draws image Index of the host's main image list with its top-left corner at (X, Y).
    virtual void DrawImage(int Index, int X, int Y, bool Enabled) = 0;
};
