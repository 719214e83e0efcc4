#include "cli/capture_options.h"

#include <string.h>
#include <strings.h>

#include <utility>

#include "ocr/engine/ocr_languages.h"

namespace cli {
namespace {

std::optional<int> Choice(const std::string& value,
                          std::initializer_list<std::pair<const char*, int>> choices) {
    for (const auto& [name, code] : choices)
        if (value == name) return code;
    return std::nullopt;
}

// As the language dialog shows it ("Chinese Simplified + English"), or as the OCR engine is told it
// ("ChinesePRC_English"), in any case.
std::optional<int> LanguageIndex(const std::string& name) {
    for (int i = 0; i < ocr::kOcrLanguageCount; ++i)
        if (const char* shown = ocr::OcrLanguageDisplayName(i);
            shown != nullptr && (::strcasecmp(shown, name.c_str()) == 0 ||
                                 ::strcasecmp(ocr::EngineLanguageName(i).c_str(), name.c_str()) == 0))
            return i;
    return std::nullopt;
}

// The language dialog's names holding `part` (any case), to offer for a name that is none of them: its
// names join the variants of a language into one word ("PortugueseBrazilian").
std::string NamesHolding(const std::string& part) {
    std::string names;
    for (int i = 0; i < ocr::kOcrLanguageCount; ++i)
        if (const char* shown = ocr::OcrLanguageDisplayName(i);
            shown != nullptr && ::strcasestr(shown, part.c_str()) != nullptr)
            names += (names.empty() ? "" : ", ") + std::string(shown);
    return names;
}

}  // namespace

const char* const kCaptureUsage =
    "Usage: vellumo-capture --from PICTURE... --out FOLDER [OPTIONS]\n"
    "       vellumo-capture --camera [--virtual-camera] --out FOLDER [OPTIONS]\n"
    "\n"
    "Runs Vellumo's capture steps on pictures taken elsewhere (BMP, JPEG, PNG), or on one still from the\n"
    "document camera, and saves the results in FOLDER under the next free numbered names.\n"
    "\n"
    "  --format bmp|jpeg|tiff|pdf|pdf-gathered   picture format (default jpeg); pdf-gathered: one PDF of "
    "all\n"
    "  --deskew               find the page, straighten and crop it\n"
    "  --cards                find business cards; they go to the card program (or, with --ocr, to text)\n"
    "  --ocr txt|pdf|rtf|xls  recognise the text into this format instead of saving the picture\n"
    "  --language NAME        the text's language, the cards' too, as the language dialog names it\n"
    "                         (default English)\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 all done, 1 some pictures failed, 2 the command line is wrong.\n";

ParsedOptions ParseCaptureOptions(const std::vector<std::string>& args) {
    CaptureOptions o;
    auto fail = [](std::string why) { return ParsedOptions{std::nullopt, std::move(why)}; };
    bool taking_pictures = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool is_option = arg.size() > 1 && arg[0] == '-';
        if (!is_option) {
            if (!taking_pictures) return fail("unexpected argument \"" + arg + "\" (pictures follow --from)");
            o.pictures.push_back(arg);
            continue;
        }
        taking_pictures = false;
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size() || args[i + 1].empty()) return false;
            into = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--from") {
            taking_pictures = true;
        } else if (arg == "--camera") {
            o.camera = true;
        } else if (arg == "--virtual-camera") {
            o.virtual_camera = true;
        } else if (arg == "--deskew") {
            o.deskew = true;
        } else if (arg == "--cards") {
            o.cards = true;
        } else if (arg == "--out") {
            if (!value(o.out_folder)) return fail("--out needs a folder");
        } else if (arg == "--format") {
            if (!value(v)) return fail("--format needs bmp, jpeg, tiff, pdf or pdf-gathered");
            auto format = Choice(
                v, {{"bmp", 0}, {"jpeg", 1}, {"jpg", 1}, {"pdf-gathered", 2}, {"tiff", 3}, {"pdf", 4}});
            if (!format) return fail("unknown format \"" + v + "\" (bmp, jpeg, tiff, pdf or pdf-gathered)");
            o.image_format = *format;
        } else if (arg == "--ocr") {
            if (!value(v)) return fail("--ocr needs txt, pdf, rtf or xls");
            o.ocr_format = Choice(v, {{"rtf", 0}, {"xls", 2}, {"pdf", 3}, {"txt", 4}});
            if (!o.ocr_format) return fail("unknown text format \"" + v + "\" (txt, pdf, rtf or xls)");
        } else if (arg == "--language") {
            if (!value(v)) return fail("--language needs a language name");
            auto index = LanguageIndex(v);
            if (!index) {
                const std::string near = v.empty() ? "" : NamesHolding(v);
                return fail("unknown language \"" + v + "\" (" +
                            (near.empty() ? "the names are the language dialog's: English, German, ..."
                                          : "did you mean " + near + "?") +
                            ")");
            }
            o.ocr_language = *index;
        } else {
            return fail("unknown option \"" + arg + "\"");
        }
    }
    if (o.help || o.version) return {o, {}};
    if (o.camera == !o.pictures.empty()) return fail("give either --from PICTURE... or --camera");
    if (o.out_folder.empty()) return fail("--out FOLDER is missing");
    return {o, {}};
}

}  // namespace cli
