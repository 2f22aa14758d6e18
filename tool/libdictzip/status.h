#pragma once
// The outcome of an operation: success, or the kind of failure and one line
// that says what went wrong. Nothing in the tool throws; every step returns one.

#include <string>
#include <utility>

namespace dz {

// Kinds of failure; each has its own exit code so scripts can tell them apart.
enum class Failure : int {
    None = 0,
    Usage = 1,         // bad options or arguments
    Input = 2,         // missing, non-regular, unreadable or changing input
    Corrupt = 3,       // not gzip, or a bad header, table, chunk, CRC or size
    Output = 4,        // output exists, cannot be created, or writing it failed
    Memory = 5,        // out of memory, or zlib could not set up a stream
    Interrupted = 128, // SIGINT or SIGTERM; the exit code is 128 + signal
};

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
