#include "ide_services.h"

#include "dockable_form.h"

#include <QAction>
#include <QDockWidget>

#include <map>

std::shared_ptr<IInterface> CorvaneIDEServices;

void TEditorActionList::AddAction(QAction* Action) {
    if (!Action || FActions.contains(Action))
        return;
    FActions.append(Action);
    connect(Action, &QObject::destroyed, this, [this, Action] {
        FActions.removeAll(Action);
        emit ActionsChanged();
    });
    emit ActionsChanged();
}

void TEditorActionList::RemoveAction(QAction* Action) {
    if (!FActions.contains(Action))
        return;
    FActions.removeAll(Action);
    disconnect(Action, &QObject::destroyed, this, nullptr);
    emit ActionsChanged();
}

std::vector<TEditorActionList*>& EditorActionLists() {
    static std::vector<TEditorActionList*> Lists;
    return Lists;
}

TActionUpdateHub& ActionUpdates() {
    static TActionUpdateHub* Hub = new TActionUpdateHub; // lives as long as the program
    return *Hub;
}

void RequestActionUpdate() {
    emit ActionUpdates().UpdateActions();
}

namespace {

std::map<std::string, TDockableForm**>& FormFields() {
    static std::map<std::string, TDockableForm**> Fields;
    return Fields;
}

} // namespace

void RegisterFormField(const std::string& Name, TDockableForm** Field) {
    FormFields()[Name] = Field;
}

void UnregisterFormField(TDockableForm** Field) {
    for (auto It = FormFields().begin(); It != FormFields().end();)
        It = It->second == Field ? FormFields().erase(It) : std::next(It);
}

TDockableForm** FindFormField(const std::string& Name) {
    const auto It = FormFields().find(Name);
    return It == FormFields().end() ? nullptr : It->second;
}

void FocusWindow(QWidget* Window) {
    if (!Window)
        return;
    Window->show();
    if (auto* Dock = qobject_cast<QDockWidget*>(Window)) {
        // A docked window sharing its area with others as tabs comes to the front of them.
        Dock->raise();
    }
    Window->raise();
    Window->activateWindow();
    Window->setFocus(Qt::OtherFocusReason);
}
