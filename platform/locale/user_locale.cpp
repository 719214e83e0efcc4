#include "platform/locale/user_locale.h"

#include <cstdlib>

namespace platform {

std::string TelephoneLocale() {
    for (const char* name : {"LC_ALL", "LC_TELEPHONE", "LANG"})
        if (const char* value = std::getenv(name); value != nullptr && value[0] != '\0') return value;
    return {};
}

}  // namespace platform
