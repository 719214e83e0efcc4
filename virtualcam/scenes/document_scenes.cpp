#include "virtualcam/scenes/document_scenes.h"

#include <algorithm>
#include <cstdlib>
#include <opencv2/imgproc.hpp>

#include "platform/debuglog/debuglog.h"
#include "virtualcam/scenes/page_stack.h"
#include "virtualcam/scenes/photo_files.h"
#include "virtualcam/scenes/text_printer.h"

namespace virtualcam {
namespace {

const cv::Scalar kDesk(70, 95, 120);  // a brown wooden desk (BGR)
const cv::Scalar kInk(35, 30, 30);

struct Card {
    const char* name;
    const char* title;
    const char* company;
    const char* phone;
    const char* email;
};

const Card kCards[4] = {
    {"Anna Berger", "Sales Manager", "Northwind Office Supply", "Tel +49 30 1234 5678",
     "anna.berger@northwind.example"},
    {"James Carter", "Chief Engineer", "Harbour Optics Ltd", "Phone +44 20 7946 0321",
     "j.carter@harbouroptics.example"},
    {"Maria Lopez", "Account Director", "Sierra Print Works", "Tel +34 91 555 0142",
     "maria.lopez@sierraprint.example"},
    {"David Chen", "Product Designer", "Lumen Camera Systems", "Phone +1 415 555 0199",
     "david.chen@lumencam.example"},
};

}  // namespace

void PrintPage(cv::Mat& paper) {
    TextPrinter printer;
    const int height = std::max(8, paper.cols / 40);
    const int margin = paper.cols / 10;
    int y = margin + height;
    for (const std::string& line : PageText()) {
        if (y > paper.rows - margin) break;
        if (!line.empty()) printer.Print(paper, line, cv::Point(margin, y), height, kInk);
        y += height * 16 / 10;
    }
}

void PrintCard(cv::Mat& paper, int index, bool band) {
    const Card& card = kCards[std::clamp(index, 0, 3)];
    TextPrinter printer;
    const int big = std::max(8, paper.rows / 9);
    const int small = std::max(7, paper.rows / 14);
    const int margin = paper.cols / 14;
    // A coloured band along the top edge, as many cards have.
    if (band)
        cv::rectangle(paper, cv::Rect(0, 0, paper.cols, paper.rows / 10), cv::Scalar(150, 90, 30),
                      cv::FILLED);
    int y = paper.rows / 10 + margin + big;
    printer.Print(paper, card.name, cv::Point(margin, y), big, kInk);
    y += big * 13 / 10;
    printer.Print(paper, card.title, cv::Point(margin, y), small, kInk);
    y += small * 15 / 10;
    printer.Print(paper, card.company, cv::Point(margin, y), small, kInk);
    y = paper.rows - margin - small * 15 / 10;
    printer.Print(paper, card.phone, cv::Point(margin, y), small, kInk);
    printer.Print(paper, card.email, cv::Point(margin, y + small * 15 / 10), small, kInk);
}

SceneChoice ParseSceneChoice(const std::string& text) {
    SceneChoice choice;
    if (text.rfind("file:", 0) == 0) {
        choice.kind = SceneChoice::Kind::File;
        choice.path = text.substr(5);
    } else if (text == "stack") {
        choice.kind = SceneChoice::Kind::Stack;
    } else if (text.rfind("cards", 0) == 0) {
        choice.kind = SceneChoice::Kind::Cards;
        if (text.size() > 6 && text[5] == ':') choice.cards = std::clamp(std::atoi(text.c_str() + 6), 1, 4);
    }
    return choice;
}

const std::vector<std::string>& PageText() {
    static const std::vector<std::string> text = {
        "Minutes of the planning meeting",
        "",
        "The committee met on Tuesday morning to review",
        "the budget for the coming year. The chair opened",
        "the meeting and welcomed two new members.",
        "",
        "First, the treasurer presented the accounts.",
        "Income from the spring fair was higher than",
        "expected, and the roof repairs cost less than",
        "the estimate. The members thanked the volunteers",
        "who painted the hall during the summer.",
        "",
        "Second, the group discussed the library project.",
        "A local printer offered to scan the old records",
        "so that every page can be searched and shared.",
        "The members agreed to start with the letters",
        "written between the two world wars.",
        "",
        "The next meeting will be held in the garden room",
        "on the first Monday of the month at seven o'clock.",
    };
    return text;
}

Scene RenderDocumentScene(const SceneChoice& choice, cv::Size size) {
    if (choice.kind == SceneChoice::Kind::File) {
        Scene scene;
        const std::vector<std::string> files = PictureFiles(choice.path);
        cv::Mat photo;
        if (!files.empty()) {
            const std::string& file = files[static_cast<size_t>(choice.picture) % files.size()];
            photo = ReadPicture(file);
            if (photo.empty()) platform::DebugLog("virtualcam", "cannot read the picture %s", file.c_str());
        } else {
            platform::DebugLog("virtualcam", "no JPEG picture at %s", choice.path.c_str());
        }
        scene.picture = photo.empty() ? cv::Mat(size, CV_8UC3, cv::Scalar(96, 96, 96))
                                      : FitIntoFrame(photo, size).picture;
        return scene;
    }
    if (choice.kind == SceneChoice::Kind::Stack) return RenderStackScene(choice.picture, size);
    std::vector<Sheet> sheets;
    if (choice.kind == SceneChoice::Kind::Page) {
        // An A4 page filling most of the height, turned by three degrees.
        const int page_height = size.height * 88 / 100;
        const int page_width = page_height * 210 / 297;
        Sheet page{cv::Size(page_width, page_height), cv::Point2d(size.width / 2.0, size.height / 2.0), 3.0};
        page.print = PrintPage;
        sheets.push_back(page);
    } else {
        // Cards of 85 x 55 mm in a loose grid, each turned a little.
        const int card_width = size.width * 36 / 100;
        const int card_height = card_width * 55 / 85;
        const double angles[4] = {4, -3, 2, -5};
        const cv::Point2d centres[4] = {{0.28, 0.28}, {0.72, 0.30}, {0.29, 0.72}, {0.71, 0.71}};
        for (int i = 0; i < choice.cards; ++i) {
            cv::Point2d centre(size.width * centres[i].x, size.height * centres[i].y);
            if (choice.cards == 1) centre = cv::Point2d(size.width / 2.0, size.height / 2.0);
            Sheet card{cv::Size(card_width, card_height), centre, angles[i], cv::Scalar(248, 248, 248)};
            card.print = [i](cv::Mat& paper) { PrintCard(paper, i); };
            sheets.push_back(card);
        }
    }
    return MakeScene(size, kDesk, sheets, 2024);
}

}  // namespace virtualcam
