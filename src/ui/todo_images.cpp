#include "todo_images.h"

#include <QColor>
#include <QPainter>

namespace {

/// A check box: white face, so the tick reads whatever the window's background.
QPixmap CheckBox(bool Checked, bool Enabled) {
    return PaintImage([=](QPainter& P) {
        P.setPen(QPen(Enabled ? QColor(0x4d, 0x56, 0x61) : QColor(0xb4, 0xb9, 0xbf), 1));
        P.setBrush(Enabled ? QColor(Qt::white) : QColor(0xf0, 0xf1, 0xf3));
        P.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
        if (!Checked)
            return;
        P.setPen(ImagePen(Enabled ? QColor(0x1f, 0x5f, 0xbf) : QColor(0x9a, 0xa0, 0xa6), 2));
        P.setBrush(Qt::NoBrush);
        P.drawPolyline(QPolygonF({{4.5, 8.5}, {7, 11}, {11.5, 5}}));
    });
}

QPixmap PriorityGlyph() {
    return PaintImage([](QPainter& P) {
        const QColor Red(0xd0, 0x31, 0x2d);
        P.setPen(ImagePen(Red, 2.6));
        P.drawLine(QPointF(8, 2.5), QPointF(8, 9.5));
        P.setPen(Qt::NoPen);
        P.setBrush(Red);
        P.drawEllipse(QPointF(8, 13), 1.5, 1.5);
    });
}

QPixmap SortArrow(bool Ascending) {
    return PaintImage([=](QPainter& P) {
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(0x6b, 0x72, 0x80));
        const qreal Tip = Ascending ? 5 : 11;
        const qreal Base = Ascending ? 10 : 6;
        P.drawPolygon(QPolygonF({{4, Base}, {12, Base}, {8, Tip}}));
    });
}

} // namespace

const TImageList& ToDoWindowImages() {
    static const TImageList Images = [] {
        TImageList List(ImageSize, ImageSize);
        List.SetImage(tiCheckedEnabled, CheckBox(true, true));
        List.SetImage(tiUncheckedEnabled, CheckBox(false, true));
        List.SetImage(tiCheckedGreyed, CheckBox(true, false));
        List.SetImage(tiUncheckedGreyed, CheckBox(false, false));
        List.SetImage(tiPriorityHeader, PriorityGlyph());
        for (int Unused = 5; Unused <= 7; ++Unused)
            List.SetImage(Unused, PaintImage([](QPainter&) {}));
        List.SetImage(tiSortAscending, SortArrow(true));
        List.SetImage(tiSortDescending, SortArrow(false));
        return List;
    }();
    return Images;
}
