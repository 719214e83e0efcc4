#pragma once
// Finding convex four-sided regions that stand out from their background (pages, cards), measuring
// them and cutting them out straightened. Plain OpenCV, no files: the detectors' decision logic.

#include <array>
#include <opencv2/core.hpp>
#include <vector>

namespace outside {

// Corners in picture pixel coordinates (pixel centres at integers), in the order top-left,
// top-right, bottom-right, bottom-left of the region turned back upright by the smallest turn.
struct Quad {
    std::array<cv::Point2d, 4> corners;
    double confidence = 0;  // 0..1: how much of the outline the picture's edges support
    double brightness = 0;  // mean grey level inside, 0..255
    double surround = 0;    // mean grey level of a narrow ring just outside
};

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

// Every convex four-sided outline found (an outline with a cut corner counts, its four long sides meeting
// where the corner would be), nested ones included (a page on a mat gives both), largest
// area first; outlines of the same region found twice are given once. Regions touching the picture's
// border are left out (they are cut off, or they are the desk itself).
std::vector<Quad> FindQuads(const cv::Mat& bgr, const QuadSearch& search);

// Whether inner lies within outer (every corner) and is clearly smaller.
bool QuadContains(const Quad& outer, const Quad& inner);

// Whether inner lies within outer, up to a pixel or so (regions sharing a side meet on it), whatever their
// sizes.
bool LiesWithin(const Quad& outer, const Quad& inner);

// Whether inner is brighter than the part of outer around it: paper lying on a mat or a base plate
// rather than a picture or a box printed on the paper.
bool BrighterThanSurroundings(const Quad& outer, const Quad& inner);

// How many sides of inner lie on side lines of outer: a band or a picture running to a card's or page's
// edge shares them, a sheet lying on a mat shares none.
int SharedSides(const Quad& outer, const Quad& inner);

// Over the outline's sides, the smallest share of each side's length along which the picture steps (by 10
// levels or more in some channel) from just inside to just outside it; sides along the picture's border
// are left out. A sheet's own outline steps nearly all round; a boundary of print inside a sheet, or an
// outline joining unrelated edges, only here and there. A slip's long sides (three times its breadth or
// more) may bow off their lines by 1.5% of their length: the step is sought within that bow.
double SideStepShare(const cv::Mat& bgr, const Quad& quad);

// Like SideStepShare, with steps of colour alone (hue and saturation, whatever the brightness): white paper
// on a white desk of warmer tone, a coloured leaflet on a white table. Each colour is the mean of 3 x 7
// pixels along the side: the step may be a few levels only, and a camera's noise must not decide it.
double SideColourStepShare(const cv::Mat& bgr, const Quad& quad);

// Per side, the share of its length along which the grey level steps down (by 10 levels or more) from just
// inside to just outside (within a slip's bow, as SideStepShare); 1 for sides along the picture's border. A
// light sheet on a dark desk is brighter than the desk all round, save where a finger covers a side or a
// dark band runs to it.
std::array<double, 4> SideBrighterShares(const cv::Mat& bgr, const Quad& quad);

// Whether a side runs across a sheet's print rather than along its rim: its grey level steps (by 5 levels or
// more, each level the mean of 3 x 5 pixels along the side) from just inside to just outside along half its
// length or more, yet neither way along 42% of it. A rim steps one way nearly all along, the sheet lighter
// or darker than what lies beyond; a faint rim hardly at all; a line across print up and down by turns.
bool SideAcrossPrint(const cv::Mat& bgr, const Quad& quad);

// Per side, the share of its length beyond which (a little way out) lies what looks like the sheet itself
// in tint, rather than like what lies beyond at least two other sides: a crease or fold of crumpled paper
// taken for a side, the paper going on beyond it, shaded. 0 for sides with fewer than two others showing
// something clearly unlike the sheet in tint (nothing to tell sheet from desk by).
std::array<double, 4> SideSheetBeyondShares(const cv::Mat& bgr, const Quad& quad);

// Where the side tests look a little way beyond each side of `quad`: per side, 39 places along its middle
// eight tenths, each seen at 2, 4 and 8 hundredths of the outline's shorter side out (at least 6, 12 and 24
// pixels), nearest first. The points may lie off the picture.
std::array<std::vector<std::array<cv::Point2d, 3>>, 4> PointsBeyondSides(const Quad& quad);

// Mean saturation inside the outline (the largest minus the smallest colour channel, 0..255): white paper
// lies near zero, a banknote or a coloured print well above.
double MeanSaturation(const cv::Mat& bgr, const Quad& quad);

// How much bluer (blue minus red, in grey levels) the inside is than a ring just outside (a tenth of its
// size wide): white paper's brightener shows it bluish beside a beige or grey desk under any light.
double BluerThanAround(const cv::Mat& bgr, const Quad& quad);

// Per side, the share of its length along which paper goes on beyond it: just outside (beyond a slip's
// bow, see SideStepShare) is at least `paper` grey level and no darker than just inside by 10 levels (an open
// book's page at its fold into the other page, a sheet lying against another). A dark picture printed to a
// sheet's edge does not count.
std::array<double, 4> SidePaperBeyondShares(const cv::Mat& bgr, const Quad& quad, double paper);

double QuadArea(const Quad& quad);
// Area two convex outlines cover in common.
double CommonArea(const Quad& a, const Quad& b);
// Turn of the top edge in degrees, positive clockwise on screen (y grows downwards).
double QuadAngleDegrees(const Quad& quad);
// The long side over the short side, from QuadSize.
double LongToShortSide(const Quad& quad);
// Width from the top and bottom edges, height from the left and right edges (averaged, rounded).
cv::Size QuadSize(const Quad& quad);

// Cuts the region out as an upright rectangle of QuadSize, correcting perspective; with an inset the cut
// lies that many pixels inside the outline on every side (and the rectangle is smaller by twice that).
cv::Mat StraightenQuad(const cv::Mat& bgr, const Quad& quad, double inset = 0);

// The detectors' cut lies this far (pixels of the picture) inside the found outline: the outline's own
// pixels blend sheet and desk.
constexpr double kCropInset = 1.5;

// Puts four corners in the Quad order (see above).
std::array<cv::Point2d, 4> OrderCorners(std::array<cv::Point2d, 4> corners);

}  // namespace outside
