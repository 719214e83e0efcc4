// The card program's fields against the development set's hand-written ones: per field (name, title,
// organisation, telephones, e-mail, web, address) the share of cards right, where a field the card does
// not print must stay empty; per card the fields right, invented and missed; the time per card, wall and
// processor, a card on a desk first fitted into the camera's 2592 x 1944 frame keeping its proportions, as
// the camera would deliver it (card detection, recognition and the field rules).
// Goals: names, telephones and e-mails 95%, titles, organisations and addresses 85%, nothing invented,
// under 2 s a card.
//
// The card program is told the card's language, not its country: it takes the country from the user's
// locale where that is of the card's language, and from the card itself where its lines show one (see
// RegionOnCard). Each card is read as by a user in the card's own country (the manifest's region), or by a
// user of the locale --locale names ("C": none, as this machine's).
//
// Usage: cards_bench [-v] [--card TEXT] [--set NAME] [--jitter] [--save FOLDER] [--locale NAME]
//                    [--card-width PX] [--repeats N] [manifest]
//          (-v: the recognised lines too; --card: only the pictures whose file name holds TEXT; --set: only
//          the cards of one set, real, digital or synthetic; --jitter: each card found on a desk is read
//          three times, cut as a capture cuts it and a pixel closer and further in, and a field counts right
//          only when all three readings give it right, invented when any invents it, since the detector's
//          corners move by a pixel from one frame to the next; --save: the card pictures as read, cut out
//          and straightened, written into FOLDER as PNG; --card-width: each card found on a desk is scaled
//          to PX on its long side before it is read, as a camera whose frame sees a wider desk shows it: one
//          framing an A4 page's 297 mm in 2592 pixels shows a card of 85 to 90 mm some 750 to 800 wide;
//          --repeats: each card read N times, its time the median, so one reading slowed by other work on the
//          machine does not stand for the card; the readings must all give the same lines)
//          (default: the set in tests/data/cards)

#include <leptonica/allheaders.h>
#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "outside/common/bmp_source.h"
#include "outside/fasize/card_detector.h"
#include "outside/finecmd/recognizer.h"
#include "outside/finecmd/thread_limit.h"
#include "outside/zorvex/card_reading.h"
#include "outside/zorvex/card_region.h"
#include "outside/zorvex/import_file.h"
#include "outside/zorvex/vcard.h"
#include "pipeline/capture/capture_rules.h"
#include "virtualcam/scenes/photo_files.h"

namespace {

using Fields = std::map<std::string, std::string>;
struct Entry {
    std::string file;
    Fields fields;
};

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<Entry> ReadManifest(const std::string& path) {
    std::ifstream in(path);
    std::vector<Entry> entries;
    for (std::string line; std::getline(in, line);) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            entries.push_back({line.substr(1, line.size() - 2), {}});
        } else if (const size_t eq = line.find('='); eq != std::string::npos && !entries.empty()) {
            entries.back().fields[line.substr(0, eq)] = Trim(line.substr(eq + 1));
        }
    }
    return entries;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t at = 0; at <= text.size();) {
        const size_t bar = std::min(text.find(" | ", at), text.size());
        part = Trim(text.substr(at, bar - at));
        if (!part.empty()) parts.push_back(part);
        at = bar + 3;
    }
    return parts;
}

// Lower case, letters and digits only, single blanks: a stray comma or capital is no error.
std::string Plain(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c >= 0x80)
            out += static_cast<char>(std::tolower(c));
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
        // Capitals of the Latin-1 letters ("SÖHNE" on a card printed in capitals): U+00C0 to U+00DE but
        // the multiplication sign, one byte after 0xC3.
        if (out.size() >= 2 && static_cast<unsigned char>(out[out.size() - 2]) == 0xC3 &&
            static_cast<unsigned char>(out.back()) >= 0x80 &&
            static_cast<unsigned char>(out.back()) <= 0x9E && static_cast<unsigned char>(out.back()) != 0x97)
            out.back() = static_cast<char>(out.back() + 0x20);
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The number as dialled, whatever way it was written: E.164 by libphonenumber with the card's region. The
// card program writes each number it can dial with its country code; one without (a local number printed
// without its area code) stays its digits as printed.
std::string Dialled(const std::string& number, const std::string& region) {
    using i18n::phonenumbers::PhoneNumberUtil;
    PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    i18n::phonenumbers::PhoneNumber parsed;
    if (util.Parse(number, region, &parsed) != PhoneNumberUtil::NO_PARSING_ERROR) return "?" + number;
    if (number.front() != '+') {
        std::string digits;
        for (char c : number)
            if (c >= '0' && c <= '9') digits += c;
        return digits;
    }
    std::string e164;
    util.Format(parsed, PhoneNumberUtil::E164, &e164);
    return e164;
}

std::string Kind(const std::string& type) {
    if (type.find("FAX") != std::string::npos) return "FAX";
    if (type.find("CELL") != std::string::npos) return "CELL";
    return "WORK";
}

Fields Found(const outside::CardFields& card, const std::string& region) {
    Fields found;
    found["name"] = card.full_name;
    found["title"] = card.title;
    found["organisation"] = card.organisation;
    std::vector<std::string> tels;
    for (const outside::Telephone& tel : card.telephones)
        tels.push_back(Kind(tel.type) + ":" + Dialled(tel.number, region));
    std::sort(tels.begin(), tels.end());
    for (const std::string& tel : tels) found["tel"] += (found["tel"].empty() ? "" : " | ") + tel;
    for (const std::string& email : card.emails)
        found["email"] += (found["email"].empty() ? "" : " | ") + email;
    found["web"] = card.web;
    for (const std::string& line : card.address_lines)
        found["address"] += (found["address"].empty() ? "" : " ") + line;
    return found;
}

bool Same(const std::string& field, const std::string& expected, const std::string& got) {
    if (field == "tel") {
        std::vector<std::string> want = Split(expected);
        std::sort(want.begin(), want.end());
        return want == Split(got);
    }
    return Plain(expected) == Plain(got);
}

cv::Mat PixToBgr(Pix* pix) {
    const int w = pixGetWidth(pix), h = pixGetHeight(pix);
    cv::Mat bgr(h, w, CV_8UC3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            l_int32 r = 0, g = 0, b = 0;
            pixGetRGBPixel(pix, x, y, &r, &g, &b);
            bgr.at<cv::Vec3b>(y, x) = cv::Vec3b(b, g, r);
        }
    return bgr;
}

Pix* BgrToPix(const cv::Mat& bgr) {
    Pix* pix = pixCreate(bgr.cols, bgr.rows, 32);
    for (int y = 0; y < bgr.rows; ++y)
        for (int x = 0; x < bgr.cols; ++x) {
            const cv::Vec3b c = bgr.at<cv::Vec3b>(y, x);
            pixSetRGBPixel(pix, x, y, c[2], c[1], c[0]);
        }
    return pix;
}

// Each line's text, block and box: what two readings of one card must agree on.
std::vector<std::string> Texts(const std::vector<outside::LayoutLine>& lines) {
    std::vector<std::string> texts;
    for (const outside::LayoutLine& line : lines)
        texts.push_back(std::to_string(line.block) + " " + std::to_string(line.left) + "," +
                        std::to_string(line.top) + " " + line.text);
    return texts;
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

double ProcessorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

const char* const kFields[] = {"name", "title", "organisation", "tel", "email", "web", "address"};

}  // namespace

int main(int argc, char** argv) {
    // Timed as the card program runs: one OpenMP thread an engine.
    outside::RunWithOneOpenMpThread(argv);
    bool verbose = false, jitter = false;
    std::string only, only_set, save, manifest = std::string(CARDS_DIR) + "/manifest.txt";
    std::optional<std::string> locale;
    int card_width = 0, repeats = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-v") {
            verbose = true;
        } else if (arg == "--jitter") {
            jitter = true;
        } else if (arg == "--locale" && i + 1 < argc) {
            locale = argv[++i];
        } else if ((arg == "--card" || arg == "--set" || arg == "--save") && i + 1 < argc) {
            (arg == "--card" ? only : arg == "--set" ? only_set : save) = argv[++i];
        } else if (arg == "--card-width" && i + 1 < argc) {
            card_width = std::max(0, std::atoi(argv[++i]));
        } else if (arg == "--repeats" && i + 1 < argc) {
            repeats = std::max(1, std::atoi(argv[++i]));
        } else {
            manifest = arg;
        }
    }
    const std::string folder = manifest.substr(0, manifest.find_last_of('/'));
    const std::vector<Entry> entries = ReadManifest(manifest);
    if (entries.empty()) {
        std::fprintf(stderr, "no cards in %s\n", manifest.c_str());
        return 1;
    }
    std::map<std::string, outside::Recognizer> recognizers;
    // Per set ("real" photographs, "digital" designs, "synthetic" drawn cards, and "all"): cards, fields
    // right, all right, invented.
    struct Tally {
        int cards = 0, cards_right = 0, invented = 0;
        std::map<std::string, int> right;
    };
    std::map<std::string, Tally> sets;
    // Wall time, and the processor time of this process (both engines' threads), which a machine busy
    // with other work sways less.
    double slowest_s = 0, total_s = 0, slowest_cpu_s = 0, total_cpu_s = 0, card_seconds = 0,
           card_cpu_seconds = 0;
    int unsteady = 0;  // cards whose repeated readings differed
    std::printf("%-36s %5s %8s %7s %6s %5s\n", "card", "right", "invented", "missed", "time_s", "cpu_s");
    for (const Entry& entry : entries) {
        if (entry.file.find(only) == std::string::npos) continue;
        Fields expected = entry.fields;
        const std::string set = expected["set"].empty() ? "real" : expected["set"];
        if (!only_set.empty() && set != only_set) continue;
        // Each card counts in its own set and in the whole ("all").
        Tally& tally = sets[set];
        Tally& whole = sets["all"];
        ++tally.cards, ++whole.cards;
        // The card's own country, to tell the numbers written as dialled from the manifest's; the card
        // program is told the card's language only, and finds the country from it and the card's lines.
        const std::string region = expected["region"];
        // A user in the card's country has a locale of its language there ("pt_BR"), which gives that.
        const std::string language_region =
            locale ? outside::HomeRegion(expected["language"], *locale) : region;
        const std::string language = outside::CardTesseractLanguage(expected["language"]);
        Pix* read = pixRead((folder + "/" + entry.file).c_str());
        if (!read) {
            std::fprintf(stderr, "cannot read %s\n", entry.file.c_str());
            return 1;
        }
        cv::Mat picture = PixToBgr(read);
        pixDestroy(&read);
        const bool detect = expected["cut"] == "detect";
        // The resolution the card program is told: a card cut from a capture carries the capture's, which
        // names the frame's width 297 mm; a card picture without a frame around it none, so the program
        // guesses it from the width as it does for any picture that names none.
        int dpi = 0;
        if (detect) {
            picture = virtualcam::FitIntoFrame(picture, cv::Size(2592, 1944)).picture;
            dpi = static_cast<int>(std::lround(outside::DotsPerInch(pipeline::PixelsPerMetre(2592))));
        }
        // Loaded before any card is timed, English's reading of large print and the second engine too, and
        // the orientation model beside the first card's reading, as the card program loads them.
        if (!recognizers.count(language)) {
            recognizers[language].Init(language, true);
            recognizers[language].Partner();
            recognizers[language].LoadOrientationAside();
        }
        // The capture's cut first: its reading is the one saved, timed and shown.
        std::vector<double> insets = {outside::kCropInset};
        if (jitter && detect)
            insets = {outside::kCropInset, outside::kCropInset - 1, outside::kCropInset + 1};
        std::map<std::string, int> right_at;
        std::map<std::string, std::string> wrong_at;
        int card_invented = 0;
        std::vector<outside::LayoutLine> layout;
        for (const double inset : insets) {
            std::vector<double> walls, cpus;
            std::vector<outside::LayoutLine> first_lines;
            outside::CardFields card;
            for (int run = 0; run < (inset == insets.front() ? repeats : 1); ++run) {
                const auto start = std::chrono::steady_clock::now();
                const double cpu_start = ProcessorSeconds();
                cv::Mat card_picture = picture;
                if (detect) {
                    const std::vector<outside::Quad> cards = outside::DetectCards(picture, 1);
                    // Cut as the card detector program cuts for the card program, so the figures are the
                    // users'.
                    if (!cards.empty()) card_picture = outside::StraightenQuad(picture, cards.front(), inset);
                    // As the card would lie in a frame seeing a desk of some width (the resolution the
                    // program is told stays the frame's).
                    if (card_width > 0 && !cards.empty()) {
                        const double scale =
                            static_cast<double>(card_width) / std::max(card_picture.cols, card_picture.rows);
                        cv::resize(card_picture, card_picture, cv::Size(), scale, scale,
                                   scale < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
                    }
                    if (cards.empty() && inset == insets.front() && run == 0)
                        std::printf("%s: no card found, the whole picture is read\n", entry.file.c_str());
                }
                Pix* card_pix = BgrToPix(card_picture);
                if (!save.empty() && inset == insets.front() && run == 0) {
                    std::string name = entry.file.substr(entry.file.find_last_of('/') + 1);
                    pixWrite((save + "/" + name.substr(0, name.find_last_of('.')) + ".png").c_str(), card_pix,
                             IFF_PNG);
                }
                std::vector<outside::LayoutLine> lines =
                    outside::ReadCard(recognizers[language], card_pix, dpi, language_region);
                pixDestroy(&card_pix);
                const outside::CardFields read =
                    outside::ExtractCardFields(lines, outside::RegionOnCard(lines, language_region));
                walls.push_back(
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
                cpus.push_back(ProcessorSeconds() - cpu_start);
                if (run == 0) {
                    card = read;
                    first_lines = std::move(lines);
                } else if (Texts(lines) != Texts(first_lines)) {
                    std::printf("%s: reading %d gave other lines than the first\n", entry.file.c_str(),
                                run + 1);
                    ++unsteady;
                }
            }
            if (inset == insets.front()) {
                const double seconds = Median(walls), cpu_seconds = Median(cpus);
                slowest_s = std::max(slowest_s, seconds);
                total_s += seconds;
                slowest_cpu_s = std::max(slowest_cpu_s, cpu_seconds);
                total_cpu_s += cpu_seconds;
                card_seconds = seconds, card_cpu_seconds = cpu_seconds;
                layout = first_lines;
            }
            Fields found = Found(card, region);
            for (const char* field : kFields) {
                const std::string want = expected[field], got = found[field];
                if (Same(field, want, got)) {
                    ++right_at[field];
                } else if (!wrong_at.count(field)) {
                    if (want.empty()) ++card_invented;
                    char at[32] = "";
                    if (insets.size() > 1) std::snprintf(at, sizeof at, " (cut %.1f px in)", inset);
                    wrong_at[field] = std::string("    ") + field + ": want \"" + want + "\" got \"" + got +
                                      "\"" + at + "\n";
                }
            }
        }
        int card_right = 0, card_missed = 0;
        std::string wrong;
        for (const char* field : kFields) {
            if (right_at[field] == static_cast<int>(insets.size())) {
                ++tally.right[field], ++whole.right[field];
                ++card_right;
                continue;
            }
            if (!expected[field].empty()) ++card_missed;
            wrong += wrong_at[field];
        }
        tally.invented += card_invented, whole.invented += card_invented;
        if (card_right == 7) ++tally.cards_right, ++whole.cards_right;
        std::printf("%-36s %3d/7 %8d %7d %6.2f %5.2f\n%s", entry.file.c_str(), card_right, card_invented,
                    card_missed, card_seconds, card_cpu_seconds, wrong.c_str());
        // Under its card, so the lines read with the fields they gave.
        if (verbose)
            for (const outside::LayoutLine& line : layout)
                std::printf("    | b%d h%-3d c%-3.0f %4d,%-4d %s\n", line.block, line.height, line.confidence,
                            line.left, line.top, line.text.c_str());
    }
    for (const auto& [set, tally] : sets) {
        std::printf("\n%-13s right (%s set)\n", "field", set.c_str());
        for (const char* field : kFields) {
            const auto it = tally.right.find(field);
            const int right = it == tally.right.end() ? 0 : it->second;
            std::printf("%-13s %5.1f%% (%d/%d)\n", field, 100.0 * right / tally.cards, right, tally.cards);
        }
        std::printf("cards all right: %d/%d; fields invented: %d\n", tally.cards_right, tally.cards,
                    tally.invented);
    }
    const double n = std::max(1.0, static_cast<double>(sets["all"].cards));
    std::printf("time per card%s: mean %.2f s, slowest %.2f s (processor: mean %.2f s, slowest %.2f s)\n",
                repeats > 1 ? (", median of " + std::to_string(repeats)).c_str() : "", total_s / n, slowest_s,
                total_cpu_s / n, slowest_cpu_s);
    if (unsteady > 0) {
        std::printf("%d cards read otherwise on reading again\n", unsteady);
        return 1;
    }
    return 0;
}
