#pragma once
// Joining a page list for the PDF writer.

#include <string>

#include "pipeline/pagelist/page_file_list.h"

namespace pipeline {

// Every listed path followed by "*", in list order: the list the PDF writer takes.
std::string JoinPagesForPdf(const PageFileList& pages);

}  // namespace pipeline
