#pragma once

#include <QString>

#include <functional>
#include <optional>

class QLineEdit;
class QWidget;

/// Reads a number box's text as an integer; nothing for a text that is no integer.
using TNumberReader = std::function<std::optional<int>(const QString& Text)>;

/// Up and down arrows for a number box that takes any text (the dialog decides on OK or Apply
/// what a text that is no integer means): each arrow, and the Up and Down keys in Edit, step
/// the number by one from its value clamped to Min..Max (Min when Read finds no integer), and
/// never leave that range. The arrows take no focus. Returns the arrows' widget (15 pixels
/// wide, a child of Parent named Name) for the caller to place. Main thread only.
QWidget* MakeUpDown(QLineEdit* Edit, int Min, int Max, TNumberReader Read, QWidget* Parent,
                    const QString& Name);
