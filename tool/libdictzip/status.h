#pragma once
// The outcome of an operation: success, or the kind of failure and one line
// that says what went wrong. Nothing in the tool throws; every step returns one.

#include "frontend.h"

#include <string>
#include <utility>

namespace dz {

class [[nodiscard]] Status {
public:
    Status() = default;

    static Status usage(std::string m) { return {Failure::Usage, std::move(m)}; }
    static Status input(std::string m) { return {Failure::Input, std::move(m)}; }
    static Status corrupt(std::string m) { return {Failure::Corrupt, std::move(m)}; }
    static Status output(std::string m) { return {Failure::Output, std::move(m)}; }
    static Status memory() { return {Failure::Memory, "out of memory"}; }
    static Status interrupted(int signalNumber, std::string m)
    {
        Status s{Failure::Interrupted, std::move(m)};
        s.signal_ = signalNumber;
        return s;
    }

    bool ok() const { return kind_ == Failure::None; }
    Failure kind() const { return kind_; }
    const std::string &message() const { return message_; }

    int exitCode() const { return kind_ == Failure::Interrupted ? 128 + signal_ : static_cast<int>(kind_); }

    // The same failure with context put in front of its message.
    Status within(const std::string &context) const
    {
        Status s = *this;
        s.message_ = context + ": " + message_;
        return s;
    }

private:
    Status(Failure kind, std::string message) : kind_(kind), message_(std::move(message)) {}

    Failure kind_ = Failure::None;
    std::string message_;
    int signal_ = 0;
};

} // namespace dz
