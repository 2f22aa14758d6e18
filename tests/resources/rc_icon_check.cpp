// The Windows icon as mingw's resource compiler builds it from lexpack.rc: one icon group
// IDI_ICON1 whose images are, in order, the very bytes of the images in lexpack.ico.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

static uint32_t le(const Bytes &b, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | (at + i < b.size() ? b[at + i] : 0);
    return value;
}

// A type or a name in a .res header: 0xffff and a number, or a UTF-16 string (ASCII here).
static std::string field(const Bytes &res, size_t &at)
{
    if (le(res, at, 2) == 0xffff)
        return at += 4, "#" + std::to_string(le(res, at - 2, 2));
    std::string text;
    for (; le(res, at, 2); at += 2)
        text += char(le(res, at, 2));
    return at += 2, text;
}

int main()
{
    const std::string res = OUTPUT_FILE;
    if (std::system((WINDRES " -I '" RC_INCLUDE "' -O res -i '" RC_FILE "' -o '" + res + "'").c_str()) != 0)
        return std::puts("FAIL: windres failed"), 1;
    std::ifstream resIn(res, std::ios::binary), icoIn(ICO_FILE, std::ios::binary);
    const Bytes data{std::istreambuf_iterator<char>(resIn), {}}, ico{std::istreambuf_iterator<char>(icoIn), {}};
    std::map<std::string, Bytes> resources; // "type/name" -> data
    for (size_t at = 0; at + 8 <= data.size();) {
        const uint32_t dataSize = le(data, at, 4), headerSize = le(data, at + 4, 4);
        size_t p = at + 8;
        const std::string type = field(data, p);
        if (headerSize < 24 || at + headerSize + dataSize > data.size())
            return std::puts("FAIL: a broken .res"), 1;
        resources[type + "/" + field(data, p)].assign(data.begin() + at + headerSize,
                                                      data.begin() + at + headerSize + dataSize);
        at += (headerSize + dataSize + 3) & ~3u;
    }
    const Bytes &group = resources["#14/IDI_ICON1"];
    const uint32_t count = le(ico, 4, 2);
    if (group.size() != 6 + 14 * count || le(group, 4, 2) != count || count != 4)
        return std::puts("FAIL: no icon group IDI_ICON1 of the .ico's four images"), 1;
    for (uint32_t i = 0; i < count; ++i) {
        const Bytes &image = resources["#3/#" + std::to_string(le(group, 6 + 14 * i + 12, 2))];
        const uint32_t size = le(ico, 6 + 16 * i + 8, 4), offset = le(ico, 6 + 16 * i + 12, 4);
        if (offset + size > ico.size() || image != Bytes(ico.begin() + offset, ico.begin() + offset + size))
            return std::printf("FAIL: image %u differs from lexpack.ico\n", i + 1), 1;
    }
    return std::puts("icon group matches lexpack.ico"), 0;
}
