#pragma once
// The settings store over one private-profile (INI) file, with the file semantics of profile.h.

#include <string>

#include "settings/settings_store.h"

namespace platform {

class CProfileStore : public CSettingsStore {
  public:
    explicit CProfileStore(std::string path) : m_path(std::move(path)) {}

    std::string Read(const std::string& section, const std::string& key, const std::string& fallback,
                     size_t size) const override;
    bool Write(const std::string& section, const std::string& key, const std::string& value) override;

    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

}  // namespace platform
