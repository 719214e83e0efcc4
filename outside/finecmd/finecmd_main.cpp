// FineCmd.exe: our OCR engine's command-line tool, on libtesseract.
//
//   FineCmd.exe PICTURE /fastmode /lang LANGUAGE /out OUTPUT
//   FineCmd.exe /out OUTPUT PICTURE
//
// PICTURE is a BMP or a (multi-page) TIFF; OUTPUT's extension chooses the document: .txt, .pdf (the page
// pictures with an invisible text layer), .rtf or .xls. Other options are ignored with a note. Exit code
// 0 when the document was written, 1 when the picture could not be read or recognised or the document
// not written, 2 for a wrong command line.

#include <tesseract/baseapi.h>
#include <tesseract/renderer.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "outside/finecmd/languages.h"
#include "outside/finecmd/page_source.h"
#include "outside/finecmd/recognizer.h"
#include "outside/finecmd/text_documents.h"
#include "outside/finecmd/thread_limit.h"
#include "outside/finecmd/xls_writer.h"
#include "platform/files/files.h"

namespace {

struct CommandLine {
    std::string picture;
    std::string output;
    std::string language = "English";
    std::string error;
};

// "/fastmode" is an option; "/tmp/page.bmp" is a path.
bool IsOption(const std::string& arg) {
    if (arg.size() < 2 || arg[0] != '/') return false;
    for (size_t i = 1; i < arg.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(arg[i]))) return false;
    return !platform::GetFileAttributes(arg).has_value();
}

CommandLine Parse(int argc, char** argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "/out" || arg == "/lang") {
            if (i + 1 >= argc) {
                line.error = arg + " needs a value";
                return line;
            }
            (arg == "/out" ? line.output : line.language) = argv[++i];
        } else if (IsOption(arg)) {
            if (arg != "/fastmode")
                std::fprintf(stderr, "FineCmd: option %s is not known and is ignored\n", arg.c_str());
        } else if (line.picture.empty()) {
            line.picture = arg;
        } else {
            std::fprintf(stderr, "FineCmd: extra argument \"%s\" is ignored\n", arg.c_str());
        }
    }
    if (line.picture.empty())
        line.error = "no picture given";
    else if (line.output.empty())
        line.error = "no output document given (/out OUTPUT)";
    return line;
}

std::string Extension(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return {};
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

int Fail(const std::string& message, int code) {
    std::fprintf(stderr, "FineCmd: %s\n", message.c_str());
    return code;
}

int WritePdf(outside::Recognizer& recognizer, const outside::PictureSource& source, const CommandLine& line) {
    // The renderer adds ".pdf" to the name it is given; it writes beside the target and is moved in place.
    const std::string base = line.output + ".part";
    const std::string written = base + ".pdf";
    bool ok = true;
    {
        tesseract::TessPDFRenderer renderer(base.c_str(), recognizer.Api().GetDatapath(), false);
        ok = renderer.BeginDocument("Vellumo OCR");
        for (size_t i = 0; ok && i < source.pages.size(); ++i) {
            recognizer.Recognize(source.pages[i].get(), source.dpi[i], line.picture);
            ok = renderer.AddImage(&recognizer.Api());
        }
        ok = renderer.EndDocument() && ok;
    }
    if (ok && std::rename(written.c_str(), line.output.c_str()) == 0) return 0;
    platform::DeleteFile(written);
    return Fail("the PDF " + line.output + " could not be written", 1);
}

}  // namespace

int main(int argc, char** argv) {
    outside::RunWithOneOpenMpThread(argv);
    const CommandLine line = Parse(argc, argv);
    if (!line.error.empty())
        return Fail(line.error + "\nusage: FineCmd.exe PICTURE [/fastmode] [/lang LANGUAGE] /out OUTPUT", 2);
    const std::string ext = Extension(line.output);
    if (ext != ".txt" && ext != ".pdf" && ext != ".rtf" && ext != ".xls")
        return Fail("the output must end in .txt, .pdf, .rtf or .xls: " + line.output, 2);

    const outside::PictureSource source = outside::LoadPicturePages(line.picture);
    if (source.pages.empty()) return Fail(source.error, 1);

    std::string language = outside::TesseractLanguage(line.language);
    if (language.empty()) {
        std::fprintf(stderr, "FineCmd: no recognition data for the language \"%s\"; recognising English\n",
                     line.language.c_str());
        language = "eng";
    }
    outside::Recognizer recognizer;
    if (!recognizer.Init(language)) return Fail("the recognition engine cannot start", 1);

    if (ext == ".pdf") return WritePdf(recognizer, source, line);

    std::vector<outside::PageText> pages;
    for (size_t i = 0; i < source.pages.size(); ++i)
        pages.push_back(recognizer.Recognize(source.pages[i].get(), source.dpi[i], line.picture));
    std::string document;
    if (ext == ".txt")
        document = outside::PlainText(pages);
    else if (ext == ".rtf")
        document = outside::RichText(pages);
    else
        document = outside::XlsWorkbook(outside::WorksheetRows(pages), "Text");
    if (document.empty() && ext == ".xls") return Fail("too much text for one worksheet", 1);
    if (!platform::WriteFileReplacing(line.output, document)) return Fail("cannot write " + line.output, 1);
    return 0;
}
