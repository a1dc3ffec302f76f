// A package that registers a probe extension while it is loaded.

#include "record_entry.h"

#include <memory>

namespace {

struct TProbe : ITestProbe {
    std::string PackageName() override { return "good"; }
};

std::shared_ptr<TProbe> GProbe; // the registry holds it weakly
int GProbeIndex = -1;

} // namespace

extern "C" void PackageInitialize() {
    RecordEntry("good:PackageInitialize");
    GProbe = std::make_shared<TProbe>();
    GProbeIndex = AddOTAExtension(GProbe);
}

extern "C" void IDERegister() {
    RecordEntry("good:IDERegister");
}

extern "C" void PackageFinalize() {
    RemoveOTAExtension(GProbeIndex);
    GProbe.reset();
    RecordEntry("good:PackageFinalize");
}
