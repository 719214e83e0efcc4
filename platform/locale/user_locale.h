#pragma once
// The user's locale, as the environment names it.

#include <string>

namespace platform {

// The locale telephone numbers are written in for this user ("pt_BR.UTF-8"): LC_ALL, else LC_TELEPHONE,
// else LANG, as the C library takes them; "" where none is set.
std::string TelephoneLocale();

}  // namespace platform
