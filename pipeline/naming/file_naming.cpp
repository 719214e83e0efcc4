#include "pipeline/naming/file_naming.h"

#include <cstdio>
#include <filesystem>

#include "pipeline/naming/number_search.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"
#include "platform/files/private_temp.h"
#include "platform/time/system_time.h"

namespace pipeline {

std::optional<std::string> ImageExtension(int image_format) {
    static const char* const kExtensions[] = {".bmp", ".jpg", ".pdf", ".tif", ".pdf"};
    if (image_format < 0 || image_format > 4) return std::nullopt;
    return kExtensions[image_format];
}

std::optional<std::string> OcrExtension(int ocr_format) {
    static const char* const kExtensions[] = {".rtf", ".rtf", ".xls", ".pdf", ".txt"};
    if (ocr_format < 0 || ocr_format > 4) return std::nullopt;
    return kExtensions[ocr_format];
}

std::string VideoExtension(int video_format) { return video_format == 0 ? ".wmv" : ".avi"; }

void CreateFolderPath(const std::string& path) { platform::CreateFolderChain(path); }

namespace {

void EnsureFolder(const std::string& folder) {
    auto attributes = platform::GetFileAttributes(folder);
    if (!attributes || !attributes->is_directory) CreateFolderPath(folder);
}

}  // namespace

namespace {
// The private temporary folder, or a name no file can be made under when there is none (the write fails).
std::string TempName(const std::string& name) {
    const std::optional<std::string> folder = platform::PrivateTempFolder();
    return folder ? *folder + name : std::string();
}
}  // namespace

void CFileNaming::MakeTempFileName() { m_szTempFile = TempName(kTempCaptureName); }

int CFileNaming::MakeNumberedName(const NamingSettings& settings, const std::string& extension) {
    EnsureFolder(settings.save_path);
    return FindFreeNumberedName(settings.save_path, settings.prefix, extension);
}

int CFileNaming::MakeTempAndNumberedNames(const NamingSettings& settings,
                                          const std::optional<std::string>& extension) {
    MakeTempFileName();
    if (!extension) return 1;  // an index outside the table keeps the previous output name
    return MakeNumberedName(settings, *extension);
}

int CFileNaming::MakeImageFileNames(const NamingSettings& settings) {
    return MakeTempAndNumberedNames(settings, ImageExtension(settings.image_format));
}

int CFileNaming::MakeCardFileNames(const NamingSettings& settings) {
    // Without the format check; an index the table lacks still needs a picture name.
    return MakeTempAndNumberedNames(settings, ImageExtension(settings.image_format).value_or(".bmp"));
}

int CFileNaming::MakeOcrFileNames(const NamingSettings& settings) {
    return MakeTempAndNumberedNames(settings, OcrExtension(settings.ocr_format));
}

int CFileNaming::MakeVideoFileName(const NamingSettings& settings) {
    return MakeNumberedName(settings, VideoExtension(settings.video_format));
}

int CFileNaming::FindFreeNumberedName(const std::string& folder, const std::string& prefix,
                                      const std::string& extension) {
    // Any entry counts as taken, a link to nowhere included: writing through it would land elsewhere.
    // A name that cannot be examined (no access to the folder) counts as free; the save then fails.
    auto taken = [&](uint32_t n, int width) {
        std::error_code error;
        auto type = std::filesystem::symlink_status(
                        platform::JoinPath(folder, prefix + NumberText(n, width) + extension), error)
                        .type();
        return type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none;
    };
    NumberSearchResult result = SearchFreeNumber(m_nNumberWidth, taken);
    m_nNumberWidth = result.next_width;
    if (!result.found) {
        platform::DebugLog("naming", "no free number left in %s for %s*%s", folder.c_str(), prefix.c_str(),
                           extension.c_str());
        m_szOutputFile.clear();
        return 0;
    }
    // A hand-edited save folder may lack its trailing '/'.
    m_szOutputFile = platform::JoinPath(folder, prefix + NumberText(result.number, result.width) + extension);
    return 1;
}

std::string CFileNaming::CardFileName(int card) const {
    size_t slash = m_szTempFile.rfind('/');
    size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = m_szTempFile.rfind('.');
    if (dot == std::string::npos || dot < name_start) dot = m_szTempFile.size();
    char number[16];
    std::snprintf(number, sizeof number, "%04d", card);
    return m_szTempFile.substr(0, dot) + number + m_szTempFile.substr(dot);
}

UtcTime CurrentUtcTime() {
    platform::SystemTime t = platform::CurrentUtcSystemTime();
    return {t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond};
}

std::string DateTimeName(const UtcTime& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%d%d%d_%d%d%d%d", t.year, t.month, t.day, t.hour, t.minute, t.second,
                  t.millisecond);
    return text;
}

std::string OcrTiffFileName(const UtcTime& time) { return TempName(DateTimeName(time) + ".tif"); }

std::string OcrResultFileName(const UtcTime& time, const std::string& extension) {
    return TempName(DateTimeName(time) + extension);
}

}  // namespace pipeline
