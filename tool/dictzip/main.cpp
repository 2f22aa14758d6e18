// dictzip: compresses files into the dictzip format and back.
#include "commandline.h"

#ifdef _WIN32
#include "platform.h"

#include <string>
#include <vector>

// The wide entry point, so that every name arrives intact; the rest of the
// program works in UTF-8.
extern "C" int wmain(int argc, wchar_t **argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(dz::platform::utf8FromWide(argv[i]));
    std::vector<char *> pointers;
    for (std::string &argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return dz::runCommandLine(argc, pointers.data());
}
#else
int main(int argc, char **argv) { return dz::runCommandLine(argc, argv); }
#endif
