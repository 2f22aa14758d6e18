#pragma once
// Where the format code reads from and writes to. The command line backs these
// with files; the fuzzer and the tests back them with memory.

#include "status.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace dz {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Reads up to `count` bytes at `offset`; `got` is short only at the end.
    virtual Status readAt(uint64_t offset, void *buffer, size_t count, size_t &got) = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual Status write(const void *data, size_t count) = 0;
};

// A sink that can also go back and fill in what it wrote as a placeholder.
class OutputTarget : public ByteSink {
public:
    virtual Status writeAt(uint64_t offset, const void *data, size_t count) = 0;
};

// Asked between chunks; a failed status (an interrupt) stops the work.
using Poll = std::function<Status()>;

// Reads exactly `count` bytes or reports a truncated file.
inline Status readExactly(ByteSource &source, uint64_t offset, void *buffer, size_t count)
{
    size_t got = 0;
    Status s = source.readAt(offset, buffer, count, got);
    if (!s.ok())
        return s;
    if (got != count)
        return Status::corrupt("unexpected end of file");
    return {};
}

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    explicit MemorySource(const std::vector<uint8_t> &bytes) : MemorySource(bytes.data(), bytes.size()) {}

    uint64_t size() const override { return size_; }
    Status readAt(uint64_t offset, void *buffer, size_t count, size_t &got) override
    {
        got = 0;
        if (offset < size_) {
            got = static_cast<size_t>(std::min<uint64_t>(count, size_ - offset));
            if (got)
                std::memcpy(buffer, data_ + offset, got);
        }
        return {};
    }

private:
    const uint8_t *data_;
    size_t size_;
};

class MemoryTarget : public OutputTarget {
public:
    std::vector<uint8_t> bytes;

    Status write(const void *data, size_t count) override
    {
        const auto *p = static_cast<const uint8_t *>(data);
        bytes.insert(bytes.end(), p, p + count);
        return {};
    }
    Status writeAt(uint64_t offset, const void *data, size_t count) override
    {
        if (offset > bytes.size() || count > bytes.size() - offset)
            return Status::output("write past the end");
        if (count)
            std::memcpy(bytes.data() + offset, data, count);
        return {};
    }
};

} // namespace dz
