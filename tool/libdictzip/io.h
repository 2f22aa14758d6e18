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

// Serves small reads from a window read ahead of them, so that walking many
// small members costs few system calls; large reads go straight through.
class ReadAhead : public ByteSource {
public:
    explicit ReadAhead(ByteSource &inner) : inner_(inner) {}
    uint64_t size() const override { return inner_.size(); }
    Status readAt(uint64_t offset, void *buffer, size_t count, size_t &got) override
    {
        constexpr size_t kWindow = 16 * 1024;
        if (count > kWindow / 4)
            return inner_.readAt(offset, buffer, count, got);
        const bool inside = offset >= start_ && offset - start_ <= filled_;
        if (!inside || (count > filled_ - (offset - start_) && start_ + filled_ < inner_.size())) {
            window_.resize(kWindow);
            filled_ = 0;
            Status s = inner_.readAt(offset, window_.data(), kWindow, filled_);
            if (!s.ok())
                return s;
            start_ = offset;
        }
        got = std::min<size_t>(count, filled_ - (offset - start_));
        if (got)
            std::memcpy(buffer, window_.data() + (offset - start_), got);
        return {};
    }

private:
    ByteSource &inner_;
    std::vector<uint8_t> window_;
    uint64_t start_ = 0;
    size_t filled_ = 0;
};

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
