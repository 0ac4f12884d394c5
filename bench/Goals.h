// The document goals: lumoitems_bench --goals prints them with their measurements; each
// memory case runs in a child, lumoitems_bench --memory-case FILE ours|libxml2 item|enum,
// which prints the peak of its load in KiB.
#pragma once

#include <string>

int RunGoals();
int RunMemoryCase(const char* document, const std::string& side, const std::string& kind);
