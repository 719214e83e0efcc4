#pragma once
// The window's look: commands 205..219 choose it; 215..218 are the blue, black, silver and aqua colour
// schemes, the other IDs keep the scheme in use. The chosen ID is kept in the current user's registry
// ("ApplicationLook") and restored at the next start.

enum class LookScheme { Blue, Black, Silver, Aqua };

constexpr int kLookFirst = 205;
constexpr int kLookLast = 219;
constexpr int kLookDefault = 215;

// The scheme a look command leaves in place.
LookScheme SchemeForLook(int look_id, LookScheme current);

// The stored look ID; kLookDefault when none is stored or the stored one is not a look command.
int ReadAppLook();
// False when the registry cannot be written (the look then lasts for this run only).
bool WriteAppLook(int look_id);
