#pragma once

#include <stdexcept>
#include <string>

/// Errors the domain lets propagate to the caller (the host's error handling).
class ETodoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A list index out of range.
class EListError : public ETodoError {
public:
    explicit EListError(int Index)
        : ETodoError("list index out of bounds (" + std::to_string(Index) + ")"), FIndex(Index) {}
    int Index() const { return FIndex; }

private:
    int FIndex;
};

/// An object asked for an interface it does not support.
class EIntfCastError : public ETodoError {
public:
    EIntfCastError() : ETodoError("interface not supported") {}
};
