#pragma once
// Finding convex four-sided regions that stand out from their background (pages, cards). Plain OpenCV,
// no files: the detectors' decision logic.

#include <opencv2/core.hpp>
#include <utility>
#include <vector>

#include "outside/common/quad_geometry.h"

namespace outside {

// What FindQuads looks for, and how.
struct QuadSearch {
    double min_area_fraction = 0.05;  // of the picture
    double max_area_fraction = 0.95;
    double min_confidence = 0.6;
    // Print darker than the paper and narrower than this (in pixels of a 1000-pixel working copy) is
    // wiped out before outlines are sought; gaps between sheets narrower than it close too.
    int print_size = 7;
    // Detection works on a copy no longer than this on its long side.
    int working_size = 1000;
    // Regions cut apart by a shadow or a fold across them, whose pieces share two opposite side lines,
    // are offered joined too (pages; cards lying in a row share lines without being one).
    bool join_pieces = false;
    // Edges between colours of one grey level (a blue band on a brown desk) count too, found on the
    // blue-minus-red difference scaled by this gain (0: not sought). A high gain finds white paper on a
    // white or beige desk: the paper's brightener shows it bluish beside the desk's warmer white.
    double colour_edge_gain = 0;
    // Outlines that are no four-sided region are tried as overlapping sheets, each bounded by four of
    // their long sides.
    bool split_overlaps = false;
    // Outlines of bright blobs at two grey levels and of the colourless blob are tried too (a sheet on a
    // grained desk, whose edges run into the sheet's own; white paper on beige wood exposed as bright).
    bool bright_blobs = false;
    // Outlines made of four long straight edges too, each seen along part of its length only: a card
    // held in a hand, whose fingers join its outline to the hand's.
    bool line_outlines = false;
    // Outlines of slips (three times as long as broad or more) as what a closed rim of edges encloses, edges
    // within filled in: a crumpled slip's creases run across its narrow breadth from rim to rim and cut it
    // into pieces, none of them the slip, while lines of the desk's grain touching the rim join its outer
    // outline to the picture's border. Not for broader sheets: filled so, a page joins the mat or the
    // squared desk round it.
    bool filled_slips = false;
};

// A picture and the copies of it the searches work on, each size shrunk once: shrinking a camera frame takes
// a good part of a search's time, and a detector searches one frame several times, mostly at one size.
class SearchedPicture {
  public:
    explicit SearchedPicture(const cv::Mat& bgr) : bgr_(bgr) {}
    const cv::Mat& Bgr() const { return bgr_; }
    // The copy no longer than `working_size` on its long side (the picture itself when it is no longer),
    // and the scale it was made at.
    cv::Mat Shrunk(int working_size, double* scale);

  private:
    cv::Mat bgr_;
    std::vector<std::pair<int, cv::Mat>> shrunk_;  // by working size
};

// Every convex four-sided outline found (an outline with a cut corner counts, its four long sides meeting
// where the corner would be), nested ones included (a page on a mat gives both), largest
// area first; outlines of the same region found twice are given once. Regions touching the picture's
// border are left out (they are cut off, or they are the desk itself). The shrunk copy is kept for the
// searches after it.
std::vector<Quad> FindQuads(SearchedPicture& picture, const QuadSearch& search);

}  // namespace outside
