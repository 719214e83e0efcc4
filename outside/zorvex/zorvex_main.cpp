// Zorvex.exe: our business-card program. Given an import file, it reads the card pictures it names,
// removes the import file (the capture program waits for that, and deletes the pictures after it),
// recognises each card in the file's language and writes one vCard per card into "Vellumo Cards" in the
// user's documents folder.
//
//   Zorvex.exe IMPORTFILE
//
// Exit code 0 when the import file was read (whatever it held), 1 when it could not be read, 2 for a
// wrong command line.

#include <cstdio>
#include <string>
#include <vector>

#include "outside/finecmd/page_source.h"
#include "outside/finecmd/recognizer.h"
#include "outside/finecmd/thread_limit.h"
#include "outside/zorvex/card_reading.h"
#include "outside/zorvex/card_region.h"
#include "outside/zorvex/import_file.h"
#include "outside/zorvex/vcard.h"
#include "platform/files/files.h"
#include "platform/files/folders.h"
#include "platform/locale/user_locale.h"

namespace {

// "Anna Berger.vcf", or "Anna Berger 2.vcf" when that is taken; characters a file name cannot carry
// become '_'.
std::string FreeCardName(const std::string& folder, const std::string& name) {
    std::string base;
    for (char c : name) base += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    if (base.empty() || base == "." || base == "..") base = "Card";
    for (int n = 1;; ++n) {
        std::string candidate =
            platform::JoinPath(folder, base + (n > 1 ? " " + std::to_string(n) : "") + ".vcf");
        if (!platform::GetFileAttributes(candidate).has_value()) return candidate;
    }
}

}  // namespace

int main(int argc, char** argv) {
    outside::RunWithOneOpenMpThread(argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: Zorvex.exe IMPORTFILE\n");
        return 2;
    }
    const std::string import = argv[1];
    auto text = platform::ReadFile(import);
    if (!text) {
        std::fprintf(stderr, "Zorvex: cannot read the import file %s\n", import.c_str());
        return 1;
    }
    const outside::ImportRequest request = outside::ParseImportFile(*text);
    std::vector<outside::PictureSource> cards;
    for (const std::string& picture : request.pictures) {
        outside::PictureSource source = outside::LoadPicturePages(picture);
        if (source.pages.empty())
            std::fprintf(stderr, "Zorvex: %s\n", source.error.c_str());
        else
            cards.push_back(std::move(source));
    }
    platform::DeleteFile(import);
    if (cards.empty()) return 0;

    auto documents = platform::UserDocumentsFolder();
    if (!documents) {
        std::fprintf(stderr, "Zorvex: there is no documents folder to save the cards in\n");
        return 1;
    }
    const std::string folder = platform::JoinPath(*documents, "Vellumo Cards");
    platform::CreateFolderChain(folder);
    outside::Recognizer recognizer;
    // English is loaded with the card's language, as its data is, and not while the first card is read; the
    // second engine, which reads parts of each card beside the first, is loaded while the first card is, and
    // so is the orientation model, which a card read thin asks after its first reading.
    if (!recognizer.Init(outside::CardTesseractLanguage(request.language), true)) return 1;
    recognizer.LoadPartnerAside();
    recognizer.LoadOrientationAside();
    const std::string language_region = outside::HomeRegion(request.language, platform::TelephoneLocale());
    int written = 0, empty = 0;
    for (const outside::PictureSource& card : cards) {
        std::vector<outside::LayoutLine> lines;
        for (size_t p = 0; p < card.pages.size(); ++p)
            for (outside::LayoutLine& line :
                 outside::ReadCard(recognizer, card.pages[p].get(), card.dpi[p], language_region))
                lines.push_back(std::move(line));
        // Its numbers are dialled in the country its lines show, as their reading was.
        const outside::CardFields fields =
            outside::ExtractCardFields(lines, outside::RegionOnCard(lines, language_region));
        if (outside::NothingRead(fields)) {
            ++empty;
            continue;
        }
        const std::string path = FreeCardName(folder, fields.full_name);
        if (platform::WriteFileReplacing(path, outside::VCard(fields)))
            ++written;
        else
            std::fprintf(stderr, "Zorvex: cannot write %s\n", path.c_str());
    }
    std::fprintf(stderr, "Zorvex: %d card(s) saved in %s\n", written, folder.c_str());
    if (empty > 0)
        std::fprintf(stderr, "Zorvex: nothing was read on %d card(s); no contact made of them\n", empty);
    return 0;
}
