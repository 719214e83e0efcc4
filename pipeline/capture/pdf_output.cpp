#include "pipeline/capture/pdf_output.h"

#include "outside/bmp2pdf/bmp2pdf.h"
#include "pipeline/capture/capture_session.h"
#include "platform/debuglog/debuglog.h"

namespace pipeline {
namespace {

// The writer's callback: `user` carries the caller's progress function.
int PdfProgress(unsigned long total, unsigned long done, int /*reserved*/, unsigned long user) {
    const auto* progress = reinterpret_cast<const PdfProgressFn*>(user);
    if (progress != nullptr && *progress) (*progress)(total, done);
    return 1;
}

}  // namespace

std::string JoinPagesForPdf(const PageFileList& pages) {
    std::string joined;
    for (std::string_view path : pages.Paths()) {
        joined.append(path);
        joined.push_back('*');
    }
    return joined;
}

bool MakePdf(int count, const std::string& joined, const std::string& target, const PdfProgressFn& progress) {
    const auto user = reinterpret_cast<unsigned long>(&progress);
    int word = 0;
    Cbmp2pdf writer;
    writer.setCompress(0);
    writer.setCmQuality(80);
    writer.setPageMargin(8.0, 8.0);
    writer.originalSize();
    const int listed = writer.setFileList(joined.c_str(), count, &word, PdfProgress, user);
    writer.setFont("Times-Roman", 20);
    writer.textOnPage(0);
    const int written = writer.newMultiplePage(target.c_str(), count, &word, PdfProgress, user);
    if (listed != 1 || written != 1) {
        platform::DebugLog("capture", "the PDF %s of %d page(s) was not written", target.c_str(), count);
        return false;
    }
    return true;
}

}  // namespace pipeline
