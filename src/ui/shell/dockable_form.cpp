#include "ui/shell/dockable_form.h"

#include "host/ini_file.h"

#include <QAction>
#include <QMainWindow>
#include <QTimer>

#include <algorithm>

TDockableForm::TDockableForm(QWidget* Parent) : QDockWidget(Parent) {
    FStayOnTopCmd = new QAction(tr("Stay on &Top"), this);
    FStayOnTopCmd->setCheckable(true);
    connect(FStayOnTopCmd, &QAction::toggled, this, [this](bool On) { ApplyStayOnTop(On); });
    FDockableCmd = new QAction(tr("&Dockable"), this);
    FDockableCmd->setCheckable(true);
    FDockableCmd->setChecked(true);
    connect(FDockableCmd, &QAction::toggled, this, [this](bool On) { ApplyDockable(On); });
    FZoomWindowCmd = new QAction(tr("&Zoom Window"), this);
    FZoomWindowCmd->setEnabled(false);
    // Staying on top only means something for a floating window: apply it when it floats.
    // Deferred: the change comes while the user still drags the window out, and changing the
    // window's flags then would re-create it under the mouse.
    connect(this, &QDockWidget::topLevelChanged, this, [this](bool) {
        QTimer::singleShot(0, this, [this] { ApplyStayOnTop(FStayOnTopCmd->isChecked()); });
    });
}

void TDockableForm::ApplyDockable(bool Value) {
    setAllowedAreas(Value ? Qt::AllDockWidgetAreas : Qt::NoDockWidgetArea);
    if (!Value && !isFloating())
        setFloating(true);
}

void TDockableForm::ApplyStayOnTop(bool Value) {
    if (!isFloating())
        return;
    const bool Shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, Value);
    if (Shown)
        show(); // changing window flags hides a top-level window
}

void TDockableForm::LoadWindowState(const TIniFile& Desktop) {
    if (FDeskSection.empty())
        return;
    const std::string_view S = FDeskSection;
    if (Desktop.ValueExists(S, "Dockable"))
        FDockableCmd->setChecked(Desktop.ReadBool(S, "Dockable", true));
    if (Desktop.ValueExists(S, "Floating"))
        setFloating(Desktop.ReadBool(S, "Floating", false));
    if (isFloating() && Desktop.ValueExists(S, "Width")) {
        const QRect Now = geometry();
        setGeometry(Desktop.ReadInteger(S, "Left", Now.left()),
                    Desktop.ReadInteger(S, "Top", Now.top()),
                    std::max(50, Desktop.ReadInteger(S, "Width", Now.width())),
                    std::max(50, Desktop.ReadInteger(S, "Height", Now.height())));
    }
    if (Desktop.ValueExists(S, "StayOnTop"))
        FStayOnTopCmd->setChecked(Desktop.ReadBool(S, "StayOnTop", false));
    if (Desktop.ValueExists(S, "Visible"))
        setVisible(Desktop.ReadBool(S, "Visible", true));
}

void TDockableForm::SaveWindowState(TIniFile& Desktop, bool /*IsProject*/) {
    if (FDeskSection.empty())
        return;
    const std::string_view S = FDeskSection;
    Desktop.WriteBool(S, "Visible", isVisible());
    Desktop.WriteBool(S, "Floating", isFloating());
    Desktop.WriteBool(S, "Dockable", FDockableCmd->isChecked());
    Desktop.WriteBool(S, "StayOnTop", FStayOnTopCmd->isChecked());
    const QRect G = geometry();
    Desktop.WriteInteger(S, "Left", G.left());
    Desktop.WriteInteger(S, "Top", G.top());
    Desktop.WriteInteger(S, "Width", G.width());
    Desktop.WriteInteger(S, "Height", G.height());
}

namespace {

std::vector<TDesktopFormClass>& Classes() {
    static std::vector<TDesktopFormClass> List;
    return List;
}

} // namespace

void RegisterDesktopFormClass(TDesktopFormFactory Factory, std::string Section,
                              std::string ClassName) {
    UnregisterDesktopFormClass(ClassName);
    Classes().push_back({std::move(Factory), std::move(Section), std::move(ClassName)});
}

void UnregisterDesktopFormClass(const std::string& ClassName) {
    auto& List = Classes();
    std::erase_if(List, [&](const TDesktopFormClass& C) { return C.ClassName == ClassName; });
}

const std::vector<TDesktopFormClass>& DesktopFormClasses() {
    return Classes();
}
