// A package whose entry points throw when the test's recorder asks them to.

#include "record_entry.h"

extern "C" void PackageInitialize() {
    RecordEntry("throwing:PackageInitialize");
}

extern "C" void IDERegister() {
    RecordEntry("throwing:IDERegister");
}

extern "C" void PackageFinalize() {
    RecordEntry("throwing:PackageFinalize");
}
