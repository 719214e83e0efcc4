#pragma once
// Reads a ribbon layout resource (XML, see resources/ribbon.xml) into RibbonLayout. Category names that
// are numbers are string IDs and are replaced by their text. An entry that cannot be used (no or a bad
// command ID, an unknown element) is left out and named in `errors`; the rest loads.

#include <string>
#include <vector>

#include "app/ribbon/ribbon_layout.h"

struct RibbonLoadResult {
    RibbonLayout layout;
    std::vector<std::string> errors;
};

RibbonLoadResult LoadRibbonLayout(const std::string& xml, const StringLookup& strings);
