#pragma once

// Driving modal dialogs from a test: the script runs once the dialog's own event loop runs,
// controls are found by their object names, and the service lists items for a display that is
// always shown.

#include "host/window_link.h"
#include "list/todo_list.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

/// The window the service posts to; always shown, so the service lists items.
struct TShownDisplay : IToDoDisplayForm {
    TQueuedWindow Window{true};
    TDisplayHandle Handle = RegisterWindow(&Window);
    ~TShownDisplay() override { UnregisterWindow(Handle); }
    TDisplayHandle GetHandle() const override { return Handle; }
    void SetCaption(const std::string&) override {}
};

/// The child of Parent named Name; a test failure when there is none (the dereference then
/// stops the test).
template <class T> T& Get(QWidget& Parent, const char* Name) {
    auto* Child = Parent.findChild<T*>(QString::fromUtf8(Name));
    EXPECT_NE(Child, nullptr) << "no control named " << Name;
    return *Child;
}

/// Runs Script on the modal dialog once its event loop runs. Whatever the script leaves open is
/// rejected, so a failing expectation never leaves a test waiting for a click.
inline void OnModal(std::function<void(QDialog&)> Script) {
    QTimer::singleShot(0, [Script = std::move(Script)] {
        auto* Dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!Dialog) {
            ADD_FAILURE() << "no modal dialog";
            return;
        }
        Script(*Dialog);
        if (Dialog->isVisible())
            Dialog->reject();
    });
}

/// While it lives, reads and closes every message box that opens (in whatever event loop runs).
class TBoxCatcher {
public:
    QStringList Texts;
    TBoxCatcher() {
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            if (auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Texts << Box->text();
                Box->reject();
            }
        });
        FTimer.start(5);
    }

private:
    QTimer FTimer;
};

/// Clicks the button named Name of the running dialog; returns the text of the message box the
/// click opened (and closed), or an empty text when none opened.
inline QString Press(QDialog& Dialog, const char* Name) {
    TBoxCatcher Catcher;
    Get<QAbstractButton>(Dialog, Name).click();
    return Catcher.Texts.value(0);
}
