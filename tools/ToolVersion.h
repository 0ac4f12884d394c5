// What every tool answers to --version: its name, the product's and the version, on one line
// of standard output.
#pragma once

#include <cstdio>
#include <cstring>

#include "LumoItemsVersion.h"

// Whether the command line is "--version" alone; if so, the line is printed.
inline bool AnsweredVersion(int argc, char** argv, const char* tool)
{
    if (argc != 2 || std::strcmp(argv[1], "--version") != 0)
        return false;
    std::printf("%s (%s) %s\n", tool, LUMO_PRODUCT_NAME, LUMO_PRODUCT_VERSION);
    return true;
}
