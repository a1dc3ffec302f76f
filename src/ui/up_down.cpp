#include "up_down.h"

#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

QWidget* MakeUpDown(QLineEdit* Edit, int Min, int Max, TNumberReader Read, QWidget* Parent,
                    const QString& Name) {
    auto* UpDown = new QWidget(Parent);
    UpDown->setObjectName(Name);
    UpDown->setFixedWidth(15);
    auto* Arrows = new QVBoxLayout(UpDown);
    Arrows->setContentsMargins(0, 0, 0, 0);
    Arrows->setSpacing(0);
    const auto Step = [=](int Delta) {
        const int From = std::clamp(Read(Edit->text()).value_or(Min), Min, Max);
        Edit->setText(QString::number(std::clamp(From + Delta, Min, Max)));
    };
    const auto MakeArrow = [&](const char* ArrowName, Qt::ArrowType Arrow, Qt::Key Key, int Delta) {
        auto* Button = new QToolButton(UpDown);
        Button->setObjectName(QString::fromLatin1(ArrowName));
        Button->setArrowType(Arrow);
        Button->setMinimumHeight(10);
        Button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        Button->setFixedWidth(15);
        // Like the control they stand for, the arrows take no focus.
        Button->setFocusPolicy(Qt::NoFocus);
        Button->setAutoRepeat(true);
        QObject::connect(Button, &QToolButton::clicked, Edit, [=] { Step(Delta); });
        Arrows->addWidget(Button);
        new QShortcut(
            QKeySequence(Key), Edit, [=] { Step(Delta); }, Qt::WidgetShortcut);
    };
    MakeArrow("UpButton", Qt::UpArrow, Qt::Key_Up, 1);
    MakeArrow("DownButton", Qt::DownArrow, Qt::Key_Down, -1);
    return UpDown;
}
