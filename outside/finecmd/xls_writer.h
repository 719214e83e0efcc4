#pragma once
// A small Excel 97 workbook writer: one worksheet of text cells in the BIFF8 format, inside an OLE2
// compound file with a single "Workbook" stream. Enough for spreadsheet programs to open it.

#include <string>
#include <vector>

namespace outside {

// The whole file. Rows beyond 65536, columns beyond 256 and characters of a cell beyond 255 (in UTF-16
// units) are left out, as the format cannot hold them.
std::string XlsWorkbook(const std::vector<std::vector<std::string>>& rows, const std::string& sheet_name);

}  // namespace outside
