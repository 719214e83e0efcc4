#include "virtualcam/scenes/detection_scenes.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <opencv2/imgproc.hpp>

#include "outside/common/dib_mat.h"
#include "platform/dib/dib.h"
#include "virtualcam/scenes/document_scenes.h"

namespace virtualcam {
namespace {

const cv::Scalar kDarkDesk(45, 50, 60), kWoodDesk(70, 95, 120), kLightDesk(170, 175, 180);

cv::Size A4(double height) {
    return {static_cast<int>(std::lround(height * 210 / 297)), static_cast<int>(std::lround(height))};
}

Sheet Page(cv::Size size, double height, cv::Point2d centre, double angle) {
    Sheet page{A4(height * size.height), cv::Point2d(centre.x * size.width, centre.y * size.height), angle};
    page.print = PrintPage;
    return page;
}

cv::Size CardSize(cv::Size size, double width) {
    int w = static_cast<int>(std::lround(width * size.height));
    return {w, w * 55 / 85};
}

Sheet Card(cv::Size size, double width, cv::Point2d centre, double angle, int text, bool band = true) {
    Sheet card{CardSize(size, width), cv::Point2d(centre.x * size.width, centre.y * size.height), angle,
               cv::Scalar(248, 248, 248)};
    card.print = [text, band](cv::Mat& paper) { PrintCard(paper, text, band); };
    return card;
}

// Sheets, then the picture changed by `after` (shadows, desk objects); the answer stays the sheets'.
Scene Draw(cv::Size size, cv::Scalar desk, const std::vector<Sheet>& sheets, unsigned seed,
           const std::function<void(Scene&)>& after = nullptr) {
    Scene scene = MakeScene(size, desk, sheets, seed);
    if (after) after(scene);
    return scene;
}

// A hard shadow (an arm, the camera's stand) across the whole picture.
void ShadowBand(Scene& scene, double top, double bottom, double darkness) {
    cv::Mat& p = scene.picture;
    cv::Mat band =
        p(cv::Range(static_cast<int>(top * p.rows), static_cast<int>(bottom * p.rows)), cv::Range::all());
    band.convertTo(band, -1, 1.0 - darkness);
}

// A dark photograph printed on the page from `from` (of its height) down to its lower edge, with narrow
// paper margins at the sides.
void PrintWithPhoto(cv::Mat& paper, double from) {
    PrintPage(paper);
    const int top = static_cast<int>(from * paper.rows), side = paper.cols * 6 / 100;
    cv::Mat photo = paper(cv::Rect(side, top, paper.cols - 2 * side, paper.rows - top));
    for (int y = 0; y < photo.rows; ++y)
        for (int x = 0; x < photo.cols; ++x) {
            double shade = 35 + 25 * std::sin(x * 0.02) * std::cos(y * 0.015) + 20.0 * y / photo.rows;
            photo.at<cv::Vec3b>(y, x) =
                cv::Vec3b(cv::saturate_cast<uchar>(shade + 10), cv::saturate_cast<uchar>(shade + 5),
                          cv::saturate_cast<uchar>(shade));
        }
}

// Folds the corner `corner` of sheet 0 over: the corner's triangle shows the desk, its back lies on the page.
void FoldCorner(Scene& scene, cv::Scalar desk, int corner, double fraction) {
    const auto& c = scene.corners[0];
    cv::Point2d at = c[corner], along1 = c[(corner + 1) % 4] - at, along2 = c[(corner + 3) % 4] - at;
    cv::Point2d a =
        at + fraction * along1 * (std::min(cv::norm(along1), cv::norm(along2)) / cv::norm(along1));
    cv::Point2d b =
        at + fraction * along2 * (std::min(cv::norm(along1), cv::norm(along2)) / cv::norm(along2));
    cv::Point2d mirrored = a + b - at;  // the corner folded over the line a-b
    Scene bare = MakeScene(scene.picture.size(), desk, {}, 77);
    std::vector<cv::Point> cut{cv::Point(at), cv::Point(a), cv::Point(b)},
        flap{cv::Point(mirrored), cv::Point(a), cv::Point(b)};
    cv::Mat mask = cv::Mat::zeros(scene.picture.size(), CV_8U);
    cv::fillConvexPoly(mask, cut, cv::Scalar(255), cv::LINE_AA);
    bare.picture.copyTo(scene.picture, mask);
    cv::fillConvexPoly(scene.picture, flap, cv::Scalar(215, 215, 218), cv::LINE_AA);
}

// A closed notebook with a dark cover and an elastic band: paper-shaped, but no page.
void Notebook(Scene& scene, cv::Size size) {
    cv::RotatedRect cover(cv::Point2f(size.width * 0.5f, size.height * 0.5f),
                          cv::Size2f(size.height * 0.5f, size.height * 0.7f), 8);
    cv::Point2f points[4];
    cover.points(points);
    std::vector<cv::Point> outline(points, points + 4);
    cv::fillConvexPoly(scene.picture, outline, cv::Scalar(70, 45, 40), cv::LINE_AA);
    cv::Point2f band_top = (points[1] + points[2]) * 0.5f, band_bottom = (points[0] + points[3]) * 0.5f;
    cv::Point2f shift = (points[2] - points[1]) * 0.3f;
    cv::line(scene.picture, band_top + shift, band_bottom + shift, cv::Scalar(30, 30, 30),
             std::max(2, size.height / 100), cv::LINE_AA);
}

// Cards lying on a mat of another tone, the mat on the desk.
Scene OnMat(cv::Size size, cv::Scalar desk, cv::Scalar mat, const std::vector<Sheet>& sheets, unsigned seed) {
    Scene scene = MakeScene(size, desk, {}, seed);
    Scene on_mat = MakeScene(size, mat, sheets, seed + 1);
    cv::Rect area(size.width / 12, size.height / 12, size.width * 10 / 12, size.height * 10 / 12);
    on_mat.picture(area).copyTo(scene.picture(area));
    scene.corners = on_mat.corners;
    return scene;
}

using Maker = std::function<DetectionCase(cv::Size)>;

DetectionCase Case(std::string name, DetectionCase::Kind kind, Scene scene,
                   DetectionCase::Storage storage = DetectionCase::Storage::BottomUp24) {
    DetectionCase c;
    c.name = std::move(name);
    c.kind = kind;
    c.storage = storage;
    c.scene = std::move(scene);
    return c;
}

const std::vector<std::pair<std::string, Maker>>& Makers() {
    using K = DetectionCase::Kind;
    using S = DetectionCase::Storage;
    static const std::vector<std::pair<std::string, Maker>> makers = {
        {"page-plain",
         [](cv::Size s) {
             return Case("page-plain", K::Page, Draw(s, kWoodDesk, {Page(s, 0.88, {0.5, 0.5}, 3)}, 1));
         }},
        {"page-dark-desk",
         [](cv::Size s) {
             return Case("page-dark-desk", K::Page, Draw(s, kDarkDesk, {Page(s, 0.8, {0.45, 0.52}, -12)}, 2));
         }},
        {"page-shadow-band",
         [](cv::Size s) {
             return Case("page-shadow-band", K::Page,
                         Draw(s, kLightDesk, {Page(s, 0.85, {0.5, 0.5}, 2)}, 3,
                              [](Scene& sc) { ShadowBand(sc, 0.42, 0.58, 0.45); }));
         }},
        {"page-dark-photo",
         [](cv::Size s) {
             Sheet page = Page(s, 0.85, {0.5, 0.5}, -2);
             page.print = [](cv::Mat& paper) { PrintWithPhoto(paper, 0.62); };
             return Case("page-dark-photo", K::Page, Draw(s, kWoodDesk, {page}, 4));
         }},
        {"page-folded-corner",
         [](cv::Size s) {
             return Case("page-folded-corner", K::Page,
                         Draw(s, kDarkDesk, {Page(s, 0.8, {0.5, 0.5}, 4)}, 5,
                              [](Scene& sc) { FoldCorner(sc, kDarkDesk, 2, 0.22); }));
         }},
        {"page-small",
         [](cv::Size s) {
             return Case("page-small", K::Page, Draw(s, kWoodDesk, {Page(s, 0.16, {0.35, 0.6}, 5)}, 6));
         }},
        {"page-turned-50",
         [](cv::Size s) {
             return Case("page-turned-50", K::Page, Draw(s, kDarkDesk, {Page(s, 0.7, {0.5, 0.5}, 50)}, 7));
         }},
        {"page-turned-m120",
         [](cv::Size s) {
             return Case("page-turned-m120", K::Page,
                         Draw(s, kWoodDesk, {Page(s, 0.72, {0.5, 0.5}, -120)}, 8));
         }},
        {"page-upside-down",
         [](cv::Size s) {
             return Case("page-upside-down", K::Page,
                         Draw(s, kLightDesk, {Page(s, 0.82, {0.5, 0.5}, 178)}, 9));
         }},
        {"page-rle8",
         [](cv::Size s) {
             return Case("page-rle8", K::Page, Draw(s, kDarkDesk, {Page(s, 0.8, {0.5, 0.5}, -4)}, 10),
                         S::Rle8);
         }},
        {"page-top-down",
         [](cv::Size s) {
             return Case("page-top-down", K::Page, Draw(s, kWoodDesk, {Page(s, 0.8, {0.5, 0.5}, 6)}, 11),
                         S::TopDown24);
         }},
        {"no-page-notebook",
         [](cv::Size s) {
             return Case("no-page-notebook", K::Page,
                         Draw(s, kWoodDesk, {}, 12, [s](Scene& sc) { Notebook(sc, s); }));
         }},
        {"no-page-empty-desk",
         [](cv::Size s) { return Case("no-page-empty-desk", K::Page, Draw(s, kLightDesk, {}, 13)); }},
        {"card-band",
         [](cv::Size s) {
             return Case("card-band", K::Cards, Draw(s, kDarkDesk, {Card(s, 0.6, {0.5, 0.5}, 7, 0)}, 14));
         }},
        {"cards-4",
         [](cv::Size s) {
             return Case("cards-4", K::Cards, RenderDocumentScene({SceneChoice::Kind::Cards, 4}, s));
         }},
        {"cards-close",
         [](cv::Size s) {
             // A 2 x 2 block with gaps of 5 pixels of a 2592-pixel picture, each card casting a shadow.
             cv::Size card = CardSize(s, 0.5);
             double gap = std::max(2.0, 5.0 * s.width / 2592);
             std::vector<Sheet> block;
             for (int i = 0; i < 4; ++i) {
                 double dx = (i % 2 ? 0.5 : -0.5) * (card.width + gap),
                        dy = (i / 2 ? 0.5 : -0.5) * (card.height + gap);
                 Sheet sheet = Card(s, 0.5, {0.5 + dx / s.width, 0.5 + dy / s.height}, 0, i);
                 sheet.shadow = 0.5;
                 block.push_back(sheet);
             }
             return Case("cards-close", K::Cards, Draw(s, kWoodDesk, block, 15));
         }},
        {"cards-dark-mat",
         [](cv::Size s) {
             return Case("cards-dark-mat", K::Cards,
                         OnMat(s, kWoodDesk, cv::Scalar(35, 35, 38),
                               {Card(s, 0.42, {0.3, 0.32}, 3, 0), Card(s, 0.42, {0.7, 0.33}, -4, 1),
                                Card(s, 0.42, {0.5, 0.7}, 2, 2)},
                               16));
         }},
        {"cards-overlap",
         [](cv::Size s) {
             Sheet under = Card(s, 0.55, {0.38, 0.4}, -6, 0), over = Card(s, 0.55, {0.6, 0.62}, 8, 1);
             under.shadow = over.shadow = 0.5;
             return Case("cards-overlap", K::Cards, Draw(s, kDarkDesk, {under, over}, 17));
         }},
        {"cards-on-white",
         [](cv::Size s) {
             Sheet a = Card(s, 0.5, {0.3, 0.4}, 4, 2, false), b = Card(s, 0.5, {0.7, 0.6}, -3, 3, false);
             a.paper = b.paper = cv::Scalar(250, 250, 250);
             a.shadow = b.shadow = 0.25;
             return Case("cards-on-white", K::Cards, Draw(s, cv::Scalar(228, 230, 232), {a, b}, 18));
         }},
        {"card-turned-60",
         [](cv::Size s) {
             return Case("card-turned-60", K::Cards,
                         Draw(s, kWoodDesk, {Card(s, 0.6, {0.5, 0.5}, 60, 3)}, 19));
         }},
        {"no-card-empty-desk",
         [](cv::Size s) { return Case("no-card-empty-desk", K::Cards, Draw(s, kWoodDesk, {}, 20)); }},
    };
    return makers;
}

}  // namespace

const std::vector<std::string>& DetectionCaseNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const auto& maker : Makers()) all.push_back(maker.first);
        return all;
    }();
    return names;
}

DetectionCase MakeDetectionCase(const std::string& name, cv::Size size) {
    for (const auto& maker : Makers())
        if (maker.first == name) return maker.second(size);
    return {};
}

namespace {

// One row of 8-bit values as RLE8: runs of two or more as (count, value), other stretches of three or more
// in absolute mode (0, count, values, padded to an even length), then the end of the line.
void Rle8Row(const uint8_t* row, int width, std::string& out) {
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 255 && row[x + run] == row[x]) ++run;
        if (run >= 2) {
            out += static_cast<char>(run);
            out += static_cast<char>(row[x]);
            x += run;
            continue;
        }
        int literal = 1;
        while (x + literal < width && literal < 255 &&
               !(x + literal + 1 < width && row[x + literal] == row[x + literal + 1]))
            ++literal;
        if (literal >= 3) {
            out += '\0';
            out += static_cast<char>(literal);
            out.append(reinterpret_cast<const char*>(row + x), static_cast<size_t>(literal));
            if (literal % 2) out += '\0';
        } else {
            for (int i = 0; i < literal; ++i) {
                out += '\1';
                out += static_cast<char>(row[x + i]);
            }
        }
        x += literal;
    }
    out += '\0';
    out += '\0';
}

}  // namespace

std::string EncodeBmpAs(const cv::Mat& bgr, DetectionCase::Storage storage) {
    using S = DetectionCase::Storage;
    if (storage == S::BottomUp24) return outside::EncodeBgrAsBmp(bgr, 11811, 11811).value_or("");
    if (storage == S::TopDown24) {
        cv::Mat flipped;
        cv::flip(bgr, flipped, 0);
        std::string file = outside::EncodeBgrAsBmp(flipped, 11811, 11811).value_or("");
        if (file.size() < 54) return file;
        const auto height = static_cast<uint32_t>(-bgr.rows);
        for (size_t i = 0; i < 4; ++i) file[22 + i] = static_cast<char>(height >> (8 * i));
        return file;
    }
    cv::Mat grey;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    std::string data;
    for (int y = grey.rows - 1; y >= 0; --y) Rle8Row(grey.ptr(y), grey.cols, data);
    data[data.size() - 1] = '\1';  // the last end of line becomes the end of the picture
    const uint32_t offset = 54 + 256 * 4;
    std::string file(offset, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(file.data());
    platform::WriteBmpFileHeader(bytes, static_cast<uint32_t>(offset + data.size()), offset);
    platform::WriteDibInfoHeader(bytes + 14, grey.cols, grey.rows, 8, static_cast<uint32_t>(data.size()),
                                 11811, 11811, 256);
    platform::WriteLe32(bytes + 14 + 16, 1);  // BI_RLE8
    platform::WriteDibPalette(bytes + 54, platform::GreyPalette());
    return file + data;
}

}  // namespace virtualcam
