#include "ui/shell/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void TQtClipboard::Clear() {
    QGuiApplication::clipboard()->clear();
}

void TQtClipboard::SetAsWideText(const std::wstring& Text) {
    QGuiApplication::clipboard()->setText(QString::fromStdWString(Text));
}

std::wstring TQtClipboard::AsWideText() const {
    return QGuiApplication::clipboard()->text().toStdWString();
}
