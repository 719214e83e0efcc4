#pragma once
// Where the settings record is kept: named sections of named keys with text values, read and written one
// key at a time. The program keeps them in "Vellumo.ini" (platform's profile store); the record itself
// knows nothing of files, so it sits below every other layer.

#include <cstddef>
#include <string>

class CSettingsStore {
  public:
    virtual ~CSettingsStore() = default;
    // The key's value cut to at most size-1 bytes, or the fallback (its trailing spaces removed) when the key
    // is missing.
    virtual std::string Read(const std::string& section, const std::string& key, const std::string& fallback,
                             size_t size) const = 0;
    // False when the value could not be kept; the store is then as it was.
    virtual bool Write(const std::string& section, const std::string& key, const std::string& value) = 0;
};
