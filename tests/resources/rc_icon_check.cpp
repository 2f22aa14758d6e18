// The Windows icon as mingw's resource compiler puts it into the program:
// lexpack.rc compiled to an object as the build does, which must hold exactly
// one icon group IDI_ICON1 (English, United States) of four uncompressed
// 32-bit images, 120x96, 32x32, 16x16, 64x64 in that order, each the very
// bytes of the matching image in lexpack.ico, and nothing else. windres reads
// its object back into a .res file, simpler to walk than the object, and into
// .rc text, which alone keeps the languages.

#include "check.h"
#include "testdata.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

namespace {

Bytes readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian fields; reads past the end give 0 and are caught by size checks.
uint32_t le(const Bytes &b, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | (at + i < b.size() ? b[at + i] : 0);
    return value;
}

bool windres(const std::string &arguments)
{
    return CHECK_MSG(std::system((WINDRES " " + arguments).c_str()) == 0, "windres " + arguments + " failed");
}

// A type or a name in a .res header: 0xffff and a number, or a string of UTF-16 (ASCII here).
std::string field(const Bytes &res, size_t &at)
{
    std::string text;
    if (le(res, at, 2) == 0xffff) {
        at += 4;
        return "#" + std::to_string(le(res, at - 2, 2));
    }
    for (; le(res, at, 2); at += 2)
        text += char(le(res, at, 2));
    at += 2;
    return text;
}

} // namespace

TEST(iconGroupAsTheWindowExpects)
{
    const std::string object = OBJECT_FILE;
    if (!windres("-I '" RC_INCLUDE "' -O coff -i '" RC_FILE "' -o '" + object + "'")
        || !windres("-J coff -O res -i '" + object + "' -o '" + object + ".res'")
        || !windres("-J coff -O rc -i '" + object + "' -o '" + object + ".rc'"))
        return;
    // windres names a resource's language only where it changes, from none.
    const Bytes rc = readFile(object + ".rc");
    const std::string text(rc.begin(), rc.end());
    CHECK(text.find("LANGUAGE 9, 1\n") != std::string::npos && text.find("LANGUAGE") == text.rfind("LANGUAGE"));

    // type -> name -> data; the first entry of a .res is an empty one.
    std::map<std::string, std::map<std::string, Bytes>> tree;
    const Bytes res = readFile(object + ".res");
    for (size_t at = 0; at + 8 <= res.size();) {
        const uint32_t dataSize = le(res, at, 4), headerSize = le(res, at + 4, 4);
        size_t p = at + 8;
        const std::string type = field(res, p), name = field(res, p);
        if (!CHECK(headerSize >= 24 && at + headerSize + dataSize <= res.size()))
            return;
        if (at)
            tree[type][name] = Bytes(res.begin() + at + headerSize, res.begin() + at + headerSize + dataSize);
        at += (headerSize + dataSize + 3) & ~3u;
    }
    // Icons (type 3) and their group (14), and no version record, manifest or anything else.
    CHECK(tree.size() == 2 && tree["#3"].size() == 4 && tree["#14"].size() == 1);
    const Bytes &group = tree["#14"]["IDI_ICON1"];
    // GRPICONDIR: reserved, type 1 (icon), count; then 14-byte entries.
    CHECK(le(group, 0, 2) == 0 && le(group, 2, 2) == 1 && le(group, 4, 2) == 4 && group.size() == 6 + 4 * 14);
    const Bytes ico = readFile(ICO_FILE);
    const struct
    {
        uint32_t width, height;
    } expected[] = {{120, 96}, {32, 32}, {16, 16}, {64, 64}};
    for (uint32_t i = 0; i < 4 && group.size() == 6 + 4 * 14; ++i) {
        const size_t e = 6 + 14 * i;
        const std::string which = "image " + std::to_string(i + 1);
        CHECK_MSG(group[e] == expected[i].width && group[e + 1] == expected[i].height, which + ": size");
        CHECK_MSG(le(group, e + 4, 2) == 1 && le(group, e + 6, 2) == 32, which + ": planes and bits");
        const Bytes &bitmap = tree["#3"]["#" + std::to_string(le(group, e + 12, 2))];
        CHECK_MSG(le(group, e + 8, 4) == bitmap.size(), which + ": byte count");
        // An uncompressed DIB of twice the height (colour and mask), 32 bits a pixel.
        CHECK_MSG(le(bitmap, 0, 4) == 40 && le(bitmap, 4, 4) == expected[i].width
                      && le(bitmap, 8, 4) == 2 * expected[i].height && le(bitmap, 14, 2) == 32
                      && le(bitmap, 16, 4) == 0,
                  which + ": bitmap header");
        const uint32_t icoSize = le(ico, 6 + 16 * i + 8, 4), icoOffset = le(ico, 6 + 16 * i + 12, 4);
        CHECK_MSG(testdata::slice(ico, icoOffset, icoSize) == bitmap, which + ": differs from lexpack.ico");
    }
}

int main(int argc, char **argv)
{
    return check::runAll(argc, argv);
}
