#include "images.h"

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <functional>

void TImageList::SetImage(int Index, const QPixmap& Image) {
    QPixmap Scaled = Image;
    if (!Image.isNull() && Image.deviceIndependentSize().toSize() != QSize(FWidth, FHeight)) {
        const qreal Ratio = Image.devicePixelRatio();
        Scaled = Image.scaled(QSize(FWidth, FHeight) * Ratio, Qt::IgnoreAspectRatio,
                              Qt::SmoothTransformation);
        Scaled.setDevicePixelRatio(Ratio);
    }
    FImages[Index] = Scaled;
    FGreyed.erase(Index);
}

bool TImageList::HasImage(int Index) const {
    return FImages.count(Index) != 0;
}

QPixmap TImageList::Image(int Index) const {
    const auto It = FImages.find(Index);
    return It == FImages.end() ? QPixmap() : It->second;
}

void TImageList::Draw(QPainter& Painter, int X, int Y, int Index, bool Enabled) const {
    const auto It = FImages.find(Index);
    if (It == FImages.end())
        return;
    if (Enabled) {
        Painter.drawPixmap(X, Y, It->second);
        return;
    }
    auto Greyed = FGreyed.find(Index);
    if (Greyed == FGreyed.end()) {
        // Grey and half transparent: reads as "not available" on light and dark backgrounds
        // alike, independent of the style's own disabled look.
        QImage Copy = It->second.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int Row = 0; Row < Copy.height(); ++Row) {
            auto* Line = reinterpret_cast<QRgb*>(Copy.scanLine(Row));
            for (int Col = 0; Col < Copy.width(); ++Col) {
                const int Grey = qGray(Line[Col]);
                Line[Col] = qRgba(Grey, Grey, Grey, qAlpha(Line[Col]) / 2);
            }
        }
        Greyed = FGreyed.emplace(Index, QPixmap::fromImage(Copy)).first;
    }
    Painter.drawPixmap(X, Y, Greyed->second);
}

QPixmap PaintImage(const std::function<void(QPainter&)>& Draw) {
    const qreal Ratio = std::max<qreal>(1, std::ceil(qGuiApp->devicePixelRatio()));
    QPixmap Result(QSize(ImageSize, ImageSize) * Ratio);
    Result.setDevicePixelRatio(Ratio);
    Result.fill(Qt::transparent);
    QPainter Painter(&Result);
    Painter.setRenderHint(QPainter::Antialiasing);
    Draw(Painter);
    return Result;
}

QPen ImagePen(const QColor& Colour, qreal Width) {
    return QPen(Colour, Width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

namespace {

/// A page with a folded corner in Border colour; Content draws on it.
QPixmap Page(const QColor& Border, const QColor& Fold,
             const std::function<void(QPainter&)>& Content) {
    return PaintImage([=](QPainter& P) {
        QPainterPath Outline;
        Outline.moveTo(2.5, 1.5);
        Outline.lineTo(10.5, 1.5);
        Outline.lineTo(13.5, 4.5);
        Outline.lineTo(13.5, 14.5);
        Outline.lineTo(2.5, 14.5);
        Outline.closeSubpath();
        P.setPen(QPen(Border, 1));
        P.setBrush(Qt::white);
        P.drawPath(Outline);
        P.setBrush(Fold);
        P.drawPolygon(QPolygonF({{10.5, 1.5}, {10.5, 4.5}, {13.5, 4.5}}));
        Content(P);
    });
}

/// Four lines of source text as short strokes, the outer two in First, the inner two in Rest.
void CodeLines(QPainter& P, const QColor& First, const QColor& Rest) {
    const qreal Indents[] = {4.5, 6.5, 6.5, 4.5};
    const qreal Ends[] = {9, 11.5, 10, 8};
    for (int I = 0; I < 4; ++I) {
        P.setPen(ImagePen(I % 3 == 0 ? First : Rest, 1));
        const qreal Y = 6.5 + 2 * I;
        P.drawLine(QPointF(Indents[I], Y), QPointF(Ends[I], Y));
    }
}

const QColor Slate(0x6b, 0x72, 0x80);
const QColor LightSlate(0xa7, 0xad, 0xb6);
const QColor Blue(0x2f, 0x6f, 0xd6);

QPixmap ToDoFilePage() {
    return Page(Slate, QColor(0xdd, 0xe1, 0xe6), [](QPainter& P) {
        const QColor Green(0x2e, 0x9d, 0x46);
        for (int I = 0; I < 3; ++I) {
            const qreal Y = 6.5 + 3 * I;
            if (I < 2) {
                P.setPen(ImagePen(Green, 1.3));
                P.drawPolyline(QPolygonF({{4.3, Y}, {5.3, Y + 1}, {7, Y - 1.2}}));
            } else {
                P.setPen(QPen(Slate, 1));
                P.setBrush(Qt::NoBrush);
                P.drawRect(QRectF(4.5, Y - 1, 2, 2));
            }
            P.setPen(ImagePen(LightSlate, 1));
            P.drawLine(QPointF(8.5, Y), QPointF(11.5, Y));
        }
    });
}

} // namespace

TImageList& MainImageList() {
    static TImageList Images = [] {
        TImageList List(ImageSize, ImageSize);
        List.SetImage(90, ToDoFilePage());
        List.SetImage(91, Page(Blue, QColor(0xcf, 0xe0, 0xfb),
                               [](QPainter& P) { CodeLines(P, Blue, LightSlate); }));
        List.SetImage(92, Page(Slate, QColor(0xdd, 0xe1, 0xe6),
                               [](QPainter& P) { CodeLines(P, Slate, LightSlate); }));
        return List;
    }();
    return Images;
}

void TPainterCanvas::DrawImage(int Index, int X, int Y, bool Enabled) {
    MainImageList().Draw(FPainter, X, Y, Index, Enabled);
}
