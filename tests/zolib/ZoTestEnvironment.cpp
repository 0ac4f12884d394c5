// The whole test program logs into a registry and files of its own: a fresh registry file, and
// on Linux the stand-in's event-log and debugger-output files in a temporary folder, so that
// no test reads the user's logging configuration or writes to the user's registry.
#include <memory>

#include <gtest/gtest.h>

#include "FreshRegistry.h"
#include "ScopedTempFolder.h"
#include "ScopedVariable.h"

namespace {

class LoggingSandbox : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_registry = std::make_unique<ScopedFreshRegistry>();
        m_folder = std::make_unique<ScopedTempFolder>();
        m_events = std::make_unique<ScopedVariable>(OLESTR("LUMOITEMS_EVENTLOG"), m_folder->Ole("events.log").c_str());
        m_debug = std::make_unique<ScopedVariable>(OLESTR("LUMOITEMS_DEBUGLOG"), m_folder->Ole("debug.log").c_str());
    }
    void TearDown() override
    {
        m_debug.reset();
        m_events.reset();
        m_folder.reset();
        m_registry.reset();
    }

private:
    std::unique_ptr<ScopedFreshRegistry> m_registry;
    std::unique_ptr<ScopedTempFolder> m_folder;
    std::unique_ptr<ScopedVariable> m_events;
    std::unique_ptr<ScopedVariable> m_debug;
};

[[maybe_unused]] ::testing::Environment* const kSandbox = ::testing::AddGlobalTestEnvironment(new LoggingSandbox);

}  // namespace
