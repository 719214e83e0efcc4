#pragma once
// Long straight edges of a picture and the four-sided outlines they make where no closed outline does
// (a card held in a hand, whose fingers join its outline to the hand's).

#include <array>
#include <functional>
#include <opencv2/core.hpp>
#include <utility>
#include <vector>

#include "outside/common/line_fit.h"

namespace outside {

// A straight edge: the line through pieces of edge lying on it, and the stretches of it they cover
// (positions along the line).
struct EdgeLine {
    Line line;
    std::vector<std::pair<double, double>> spans;
    double seen = 0;  // total length covered
};

// Straight pieces of edge joined into lines: pieces within two degrees and three pixels of a line are
// parts of it (one rim broken by a finger or a shadow). Lines whose pieces run to the picture's edge are
// left out: they belong to the desk, to a sheet the picture cuts, or to the rows of border pixels
// repeated around a photograph. Longest seen first.
std::vector<EdgeLine> StraightEdges(const cv::Mat& edges, double border);

// Four-sided outlines bounded by two pairs of roughly opposite straight edges, the best covered few: each
// side must be seen along a fifth of its length or more. A band of the desk's tone printed across a card
// cuts its outline there, and the best covered outlines stop at the band's edge; so each of those is offered
// grown across the band too, to a line beyond it that closes an outline seen along half of every side, when
// the band's edge stops at the grown outline's sides (an edge running on beyond them belongs to something
// lying across the card, a shadow or a cable, and the card may well end there) and the band looks like the
// desk rather than like the piece.
std::vector<std::array<cv::Point2d, 4>> OutlinesFromLines(const std::vector<EdgeLine>& all,
                                                          const cv::Mat& bgr, double border,
                                                          const std::function<bool(double)>& area_fits);

}  // namespace outside
