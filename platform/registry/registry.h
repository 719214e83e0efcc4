#pragma once
// A small registry: key/value stores kept as text files, one per hive. A key path such as
// "SOFTWARE\Vendor\Product" is a section of the hive file, a value name a key in it; names match
// without regard to case, as in the registry. Numbers are stored as decimal text.
//
//   current user   VELLUMO_REGISTRY_USER (a file path), else <user config folder>/Vellumo/registry.ini
//                  (see folders.h); none without a home folder
//   local machine  VELLUMO_REGISTRY_MACHINE, else /etc/Vellumo/registry.ini

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class RegistryHive { CurrentUser, LocalMachine };

std::string RegistryHivePath(RegistryHive hive);

// Values are read up to max_bytes-1 bytes, like a fixed registry buffer.
std::optional<std::string> RegistryReadString(RegistryHive hive, const std::string& key,
                                              const std::string& name, size_t max_bytes = 1024);
std::optional<uint32_t> RegistryReadDword(RegistryHive hive, const std::string& key, const std::string& name);

// Writing creates the hive file and its folder when missing. False when it cannot be written.
bool RegistryWriteString(RegistryHive hive, const std::string& key, const std::string& name,
                         const std::string& value);
bool RegistryWriteDword(RegistryHive hive, const std::string& key, const std::string& name, uint32_t value);
bool RegistryDeleteValue(RegistryHive hive, const std::string& key, const std::string& name);

}  // namespace platform
