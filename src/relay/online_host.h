#pragma once
// What `zindle --host` needs besides its relay: the address a friend can reach this machine at,
// and the web build the relay serves so that the room's link opens in a browser too.
#include <filesystem>
#include <optional>
#include <string>

namespace zindle::relay {

// The machine's first address other machines can reach (IPv4, up, not loopback), else the
// loopback address.
std::string reachableAddress();

// The built or installed web build near the game's executable, if there is one.
std::optional<std::filesystem::path> findWebBuild(const std::filesystem::path& executable);

} // namespace zindle::relay
