// The Windows icon as mingw's resource compiler puts it into the program:
// lexpack.rc compiled to a COFF object, whose resource tree must hold exactly
// one icon group IDI_ICON1 (English, United States) of four uncompressed
// 32-bit images, 120x96, 32x32, 16x16, 64x64 in that order, each the very
// bytes of the matching image in lexpack.ico, and nothing else.

#include "check.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kIcon = 3, kGroupIcon = 14, kEnglishUs = 0x0409;

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

// A resource's name: a number, or a string (then `id` is ~0).
struct Name {
    uint32_t id = ~0u;
    std::string text;
    bool operator<(const Name &o) const { return id != o.id ? id < o.id : text < o.text; }
};

struct Resource {
    Bytes data;
};

// type -> name -> language -> data
using Tree = std::map<uint32_t, std::map<Name, std::map<uint32_t, Resource>>>;

class ResourceSection {
public:
    ResourceSection(Bytes section, std::map<uint32_t, uint32_t> relocated)
        : s_(std::move(section)), relocated_(std::move(relocated)) {}

    Tree read()
    {
        Tree tree;
        for (const auto &[type, typeEntry] : entries(0)) {
            CHECK_MSG(type.id != ~0u && typeEntry.second, "a resource type given by name");
            for (const auto &[name, nameEntry] : entries(typeEntry.first)) {
                CHECK(nameEntry.second);
                for (const auto &[language, data] : entries(nameEntry.first)) {
                    CHECK(!data.second && language.id != ~0u);
                    // The data's place is relocated against the section itself: the field holds
                    // the offset, and the symbol (the section, at 0) adds nothing.
                    const uint32_t at = le(s_, data.first, 4), size = le(s_, data.first + 4, 4);
                    CHECK_MSG(relocated_.count(data.first) && at + uint64_t(size) <= s_.size(), "data entry");
                    if (at + uint64_t(size) <= s_.size())
                        tree[type.id][name][language.id].data = Bytes(s_.begin() + at, s_.begin() + at + size);
                }
            }
        }
        return tree;
    }

private:
    // The entries of the directory at `at`: name -> (offset, is a subdirectory).
    std::vector<std::pair<Name, std::pair<uint32_t, bool>>> entries(uint32_t at)
    {
        std::vector<std::pair<Name, std::pair<uint32_t, bool>>> list;
        const uint32_t count = le(s_, at + 12, 2) + le(s_, at + 14, 2);
        if (!CHECK_MSG(at + 16 + 8ull * count <= s_.size(), "resource directory"))
            return list;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t nameField = le(s_, at + 16 + 8 * i, 4), offset = le(s_, at + 20 + 8 * i, 4);
            Name name;
            if (nameField & 0x80000000u) {
                const uint32_t p = nameField & 0x7fffffffu;
                for (uint32_t c = 0; c < le(s_, p, 2); ++c)
                    name.text += char(le(s_, p + 2 + 2 * c, 2)); // the names here are ASCII
            } else {
                name.id = nameField;
            }
            list.push_back({name, {offset & 0x7fffffffu, (offset & 0x80000000u) != 0}});
        }
        return list;
    }

    Bytes s_;
    std::map<uint32_t, uint32_t> relocated_; // offset in section -> symbol index
};

// Compiles the .rc as the build does and returns the object's resource tree.
Tree compileAndRead()
{
    const std::string object = OBJECT_FILE;
    std::vector<std::string> args = {WINDRES, "-I", RC_INCLUDE, "-O", "coff", "-i", RC_FILE, "-o", object};
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    if (!CHECK_MSG(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 &&
                       waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0,
                   "windres failed"))
        return {};

    const Bytes o = readFile(object);
    CHECK_MSG(le(o, 0, 2) == 0x8664, "an x86-64 COFF object");
    const uint32_t sections = le(o, 2, 2), symbolTable = le(o, 8, 4), symbols = le(o, 12, 4);
    const uint32_t optional = le(o, 16, 2);
    int rsrc = -1;
    for (uint32_t i = 0; i < sections; ++i) {
        const size_t h = 20 + optional + 40 * i;
        if (std::string(o.begin() + h, o.begin() + h + 8).c_str() != std::string(".rsrc"))
            continue;
        CHECK_MSG(rsrc < 0, "one .rsrc section");
        rsrc = int(i + 1);
        const uint32_t size = le(o, h + 16, 4), data = le(o, h + 20, 4);
        const uint32_t relocations = le(o, h + 24, 4), relocationCount = le(o, h + 32, 2);
        if (!CHECK(uint64_t(data) + size <= o.size()))
            return {};
        std::map<uint32_t, uint32_t> relocated;
        for (uint32_t r = 0; r < relocationCount; ++r) {
            const size_t at = relocations + 10 * r;
            const uint32_t symbol = le(o, at + 4, 4);
            // IMAGE_REL_AMD64_ADDR32NB against a symbol of this section at its start.
            const size_t entry = symbolTable + 18 * size_t(symbol);
            CHECK(le(o, at + 8, 2) == 3 && symbol < symbols && le(o, entry + 8, 4) == 0 &&
                  le(o, entry + 12, 2) == uint32_t(rsrc));
            relocated[le(o, at, 4)] = symbol;
        }
        return ResourceSection(Bytes(o.begin() + data, o.begin() + data + size), relocated).read();
    }
    CHECK_MSG(false, "no .rsrc section");
    return {};
}

} // namespace

TEST(iconGroupAsTheWindowExpects)
{
    Tree tree = compileAndRead();
    // Icons and their group, and no version record, manifest or anything else.
    CHECK(tree.size() == 2 && tree.count(kIcon) && tree.count(kGroupIcon));
    const auto &groups = tree[kGroupIcon];
    if (!CHECK(groups.size() == 1 && groups.begin()->first.text == "IDI_ICON1"))
        return;
    const auto &languages = groups.begin()->second;
    if (!CHECK(languages.size() == 1 && languages.count(kEnglishUs)))
        return;
    const Bytes &group = languages.at(kEnglishUs).data;

    const Bytes ico = readFile(ICO_FILE);
    struct Expected {
        uint32_t width, height;
    };
    const Expected expected[] = {{120, 96}, {32, 32}, {16, 16}, {64, 64}};
    // GRPICONDIR: reserved, type 1 (icon), count; then 14-byte entries.
    CHECK(le(group, 0, 2) == 0 && le(group, 2, 2) == 1 && le(group, 4, 2) == 4 && group.size() == 6 + 4 * 14);
    CHECK(tree[kIcon].size() == 4);
    for (uint32_t i = 0; i < 4; ++i) {
        const size_t e = 6 + 14 * i;
        const std::string which = "image " + std::to_string(i + 1);
        CHECK_MSG(group[e] == expected[i].width && group[e + 1] == expected[i].height, which + ": size");
        CHECK_MSG(le(group, e + 4, 2) == 1 && le(group, e + 6, 2) == 32, which + ": planes and bits");
        Name id;
        id.id = le(group, e + 12, 2);
        const auto image = tree[kIcon].find(id);
        if (!CHECK_MSG(image != tree[kIcon].end() && image->second.count(kEnglishUs), which + ": missing"))
            continue;
        const Bytes &bitmap = image->second.at(kEnglishUs).data;
        CHECK_MSG(le(group, e + 8, 4) == bitmap.size(), which + ": byte count");
        // An uncompressed DIB of twice the height (colour and mask), 32 bits a pixel.
        CHECK_MSG(le(bitmap, 0, 4) == 40 && le(bitmap, 4, 4) == expected[i].width &&
                      le(bitmap, 8, 4) == 2 * expected[i].height && le(bitmap, 14, 2) == 32 && le(bitmap, 16, 4) == 0,
                  which + ": bitmap header");
        const uint32_t icoSize = le(ico, 6 + 16 * i + 8, 4), icoOffset = le(ico, 6 + 16 * i + 12, 4);
        CHECK_MSG(icoOffset + uint64_t(icoSize) <= ico.size() &&
                      Bytes(ico.begin() + icoOffset, ico.begin() + icoOffset + icoSize) == bitmap,
                  which + ": differs from lexpack.ico");
    }
}

int main(int argc, char **argv) { return check::runAll(argc, argv); }
