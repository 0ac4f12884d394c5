// The tool's text in and out: documents are read as UTF-8 from a file or standard input, and
// every text is written as UTF-8.
#pragma once

#include <cstdio>
#include <string>

#include <windows.h>

#include "OleString.h"

// The whole of the file named by path ("-" for standard input) as UTF-16, without a leading
// byte-order mark. Failures carry the detail "File".
OleString ReadDocumentText(const std::string& path);

void WriteText(std::FILE* stream, OleStringView text);
