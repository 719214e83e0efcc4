#pragma once
// What the virtual camera looks at: a printed page of English text lying slightly turned on a desk,
// one to four business cards, photographs from files, or a stack of pages turned one by one. Drawn once
// per picture size.

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "virtualcam/scenes/desk_scene.h"

namespace virtualcam {

struct SceneChoice {
    enum class Kind { Page, Cards, File, Stack };
    Kind kind = Kind::Page;
    int cards = 1;          // 1..4
    std::string path = {};  // File: a JPEG file, or a folder whose JPEG files are shown in name order
    int picture = 0;        // File: which of the folder's pictures (counted round); Stack: the page on top
};

// "page", "cards:N", "file:PATH" or "stack"; a page for anything else.
SceneChoice ParseSceneChoice(const std::string& text);

// The text printed on the page, line by line.
const std::vector<std::string>& PageText();

// The page's text printed upright on paper (BGR), and business card 0..3 (with its coloured band along
// the top edge when asked).
void PrintPage(cv::Mat& paper);
void PrintCard(cv::Mat& paper, int card, bool band = true);

// The scene at this size (BGR), with the sheets' corners (none are known for photographs: a photograph
// is fitted whole into the frame; a picture that cannot be read gives an empty grey desk).
Scene RenderDocumentScene(const SceneChoice& choice, cv::Size size);

}  // namespace virtualcam
