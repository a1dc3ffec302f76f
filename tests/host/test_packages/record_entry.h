#pragma once
// The recorder look-up every entry point of a test package starts with.

#include "probe.h"

#include "host/tools_api.h"

#include <stdexcept>

/// Tells the test's recorder (if one is registered) that Event ran, and throws when it asks.
inline void RecordEntry(const std::string& Event) {
    auto Recorder = FindOTAService<ITestRecorder>();
    if (!Recorder)
        return;
    Recorder->Record(Event);
    if (Recorder->ShouldThrow(Event))
        throw std::runtime_error(Event + " failed on purpose");
}
