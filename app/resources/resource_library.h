#pragma once
// The program's handle on the resource library "VellumoRes.dll": strings, dialog templates, the ribbon
// layout, accelerators and the title resource, by number. Loaded once at start-up from the program folder;
// every lookup of the program goes through the loaded instance (AppResources).

#include <optional>
#include <string>

#include "platform/library/library.h"
#include "resources/vellumo_res.h"

constexpr const char* kResourceLibraryName = "VellumoRes.dll";

class ResourceLibrary {
  public:
    // Loads the library from the folder. Fails (nothing) when the file is missing, is not a loadable
    // library, or lacks the resource entry points.
    static std::optional<ResourceLibrary> LoadFrom(const std::string& folder);

    // The string, or an empty text when the library has none with that number.
    std::string LoadString(unsigned id) const;
    // The resource's bytes, or nothing.
    std::optional<std::string> FindResource(unsigned type, unsigned id) const;

  private:
    platform::Library library_;
    VellumoResStringFn load_string_ = nullptr;
    VellumoResFindFn find_resource_ = nullptr;
};

// The instance loaded at start-up; nullptr before (or when loading failed).
ResourceLibrary* AppResources();
void SetAppResources(std::optional<ResourceLibrary> resources);

// Shorthand for AppResources()->LoadString(id); empty when no library is loaded.
std::string LoadResString(unsigned id);
