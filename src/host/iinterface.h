#pragma once

#include <memory>

/// Root of every interface that crosses between the host, this package and other packages.
/// Interfaces derive from it virtually, so an object that implements several of them still
/// converts to one IInterface, and "does it support X" is a dynamic_pointer_cast.
class IInterface {
public:
    virtual ~IInterface() = default;
};

/// Shorthand for the reference-counted interface pointer used everywhere.
template <class T> using TRef = std::shared_ptr<T>;
