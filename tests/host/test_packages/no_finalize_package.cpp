// A library that is no complete package: it lacks PackageFinalize.

#include "record_entry.h"

extern "C" void PackageInitialize() {
    RecordEntry("no-finalize:PackageInitialize");
}
