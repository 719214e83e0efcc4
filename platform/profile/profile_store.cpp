#include "platform/profile/profile_store.h"

#include "platform/profile/profile.h"

namespace platform {

std::string CProfileStore::Read(const std::string& section, const std::string& key,
                                const std::string& fallback, size_t size) const {
    return ReadProfileString(m_path, section, key, fallback, size);
}

bool CProfileStore::Write(const std::string& section, const std::string& key, const std::string& value) {
    return WritePrivateProfileString(section, key, value, m_path);
}

}  // namespace platform
