#pragma once

#include <string>
#include <utility>

/// Result of an operation that can fail on user input or on the file system.
/// An empty message means success. Messages are lower-case, one line, without a final period,
/// so that front ends can print them as they are.
class [[nodiscard]] TStatus {
public:
    TStatus() = default;
    static TStatus Error(std::string Message) {
        TStatus S;
        S.FMessage = std::move(Message);
        S.FFailed = true;
        return S;
    }
    bool Ok() const { return !FFailed; }
    explicit operator bool() const { return !FFailed; }
    const std::string& Message() const { return FMessage; }

private:
    std::string FMessage;
    bool FFailed = false;
};

/// A value or the reason there is none.
template <class T> class [[nodiscard]] TResult {
public:
    TResult(T Value) : FValue(std::move(Value)) {}
    TResult(TStatus Status) : FStatus(std::move(Status)) {}
    bool Ok() const { return FStatus.Ok(); }
    explicit operator bool() const { return FStatus.Ok(); }
    const TStatus& Status() const { return FStatus; }
    T& Value() { return FValue; }
    const T& Value() const { return FValue; }

private:
    T FValue{};
    TStatus FStatus;
};
