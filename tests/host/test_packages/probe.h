#pragma once
// What the loader tests and their test packages share: interfaces only, as between the host and
// a real package.

#include "host/iinterface.h"

#include <string>

/// Registered by a test as a tools-API extension: the test packages tell it which entry points
/// ran ("<package>:<entry point>") and ask it whether to throw from one.
class ITestRecorder : public virtual IInterface {
public:
    virtual void Record(const std::string& Event) = 0;
    /// True when the entry point Event ("<package>:<entry point>") should throw.
    virtual bool ShouldThrow(const std::string& Event) = 0;
};

/// The extension the good test package registers while it is loaded.
class ITestProbe : public virtual IInterface {
public:
    /// The name of the package that registered the probe.
    virtual std::string PackageName() = 0;
};
