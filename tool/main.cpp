// dictzip: compresses files into the dictzip format and back.
#include "commandline.h"

int main(int argc, char **argv) { return dz::runCommandLine(argc, argv); }
