// The cross-process change counter of a registry file: "<database>.stamp", eight bytes that
// every committed write bumps and every process maps, so that RegistryChangeStamp() costs
// an atomic load instead of a query.
#pragma once

#include <cstdint>
#include <string>

namespace lumo::platform::registry {

// Maps the counter of the database at 'databasePath', creating its file when missing, and
// makes RegistryChangeStamp() use it for that path from now on. Null when the file cannot
// be made (writes are then not announced to other processes; see RegistryChangeStamp).
// The mapping lives as long as the process.
uint64_t* AttachChangeCounter(const std::string& databasePath);

// Announces a committed write; call after the commit, never before, so that a reader who
// saw the new count also sees the new content.
void BumpChangeCounter(uint64_t* counter) noexcept;

}  // namespace lumo::platform::registry
