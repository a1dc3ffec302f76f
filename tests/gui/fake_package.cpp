// A package for the shut-down test: it makes a dockable window of its own class (whose code
// leaves with the package) when the main window exists, registered as a desktop form class with
// a form field, as a real package does. When it is unloaded it reports to the file named by
// $TODOLIST_FAKE_PACKAGE_REPORT whether the host had freed that window and cleared the field.
#include "host/events.h"
#include "ui/shell/dockable_form.h"
#include "ui/shell/ide_services.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

class TFakePackageForm : public TDockableForm {
public:
    explicit TFakePackageForm(QWidget* Parent) : TDockableForm(Parent) {
        setObjectName("FakePackageForm");
        setWindowTitle("Fake");
        setWidget(new QLabel("fake", this)); // owned by this (Qt parent)
    }
};

TDockableForm* FakeForm = nullptr; // the registered form field
QPointer<TDockableForm> Watch;     // whether the window is still alive
TEvent<>::TToken MainFormToken = 0;

} // namespace

extern "C" __attribute__((visibility("default"))) void PackageInitialize() {
    RegisterDesktopFormClass(
        [](QWidget* Parent) -> TDockableForm* { return new TFakePackageForm(Parent); },
        "Fake Package", "FakePackageForm");
    RegisterFormField("FakePackageForm", &FakeForm);
    MainFormToken = EvMainFormCreated().Add([] {
        auto Services = std::dynamic_pointer_cast<IIDEServices>(CorvaneIDEServices);
        if (!Services)
            return;
        FakeForm = new TFakePackageForm(Services->GetMainWindow());
        FakeForm->SetDeskSection("Fake Package");
        Services->DockForm(FakeForm);
        Watch = FakeForm;
    });
}

extern "C" __attribute__((visibility("default"))) void PackageFinalize() {
    EvMainFormCreated().Remove(MainFormToken);
    if (const char* Report = std::getenv("TODOLIST_FAKE_PACKAGE_REPORT")) {
        std::ofstream Out(Report);
        Out << (Watch ? "window alive" : "window freed") << "\n"
            << (FakeForm ? "field set" : "field cleared") << "\n"
            << (CorvaneIDEServices ? "services set" : "services cleared") << "\n";
    }
    // Whatever the host did, nothing of this package may outlive it.
    delete Watch.data();
    UnregisterFormField(&FakeForm);
    UnregisterDesktopFormClass("FakePackageForm");
}
