// Tests that need a second process run a copy of the test program in child mode:
//
//   LUMO_TEST_CHILD(WriteRegistry) { ... return 0; }      // argc/argv: the child's own arguments
//   EXPECT_EQ(0, RunTestChild("WriteRegistry", {"a", "b"}));
//
// The child inherits the environment (so it sees the same registry file) and its exit code
// is the entry's return value.
#pragma once

#include <string>
#include <vector>

using TestChildEntry = int (*)(int argc, char** argv);

// Returns the child's exit code; -1 when it could not be started, -2 when it timed out
// (it is then terminated).
int RunTestChild(const std::string& name, const std::vector<std::string>& args = {}, unsigned timeoutMs = 60000);

// Runs a program with the given arguments and returns its exit code, as RunTestChild does.
int RunProgram(const std::string& program, const std::vector<std::string>& args = {}, unsigned timeoutMs = 60000);

// Internal: the table of child entries, filled at static initialisation.
bool RegisterTestChild(const char* name, TestChildEntry entry);
TestChildEntry FindTestChild(const std::string& name);

#define LUMO_TEST_CHILD(name)                                                          \
    static int LumoTestChild_##name(int argc, char** argv);                            \
    [[maybe_unused]] static const bool LumoTestChildRegistered_##name =                \
        RegisterTestChild(#name, &LumoTestChild_##name);                               \
    static int LumoTestChild_##name([[maybe_unused]] int argc, [[maybe_unused]] char** argv)
