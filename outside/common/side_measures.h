#pragma once
// What lies across and beyond each side of a found region: steps of grey and colour, print, paper or
// another sheet beyond it; and the region's colour against its surroundings. The detectors' checks that
// a region is a sheet and not a part of one.

#include <array>
#include <opencv2/core.hpp>
#include <vector>

#include "outside/common/quad_geometry.h"

namespace outside {

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

// Whether a side runs across a sheet's print rather than along its rim: its grey level steps (by 5 levels or
// more, each level the mean of 3 x 5 pixels along the side) from just inside to just outside along half its
// length or more, yet neither way along 42% of it. A rim steps one way nearly all along, the sheet lighter
// or darker than what lies beyond; a faint rim hardly at all; a line across print up and down by turns.
bool SideAcrossPrint(const cv::Mat& bgr, const Quad& quad);

// Per side, the share of its length along which the grey level steps down (by 10 levels or more) from just
// inside to just outside (within a slip's bow, as SideStepShare); 1 for sides along the picture's border. A
// light sheet on a dark desk is brighter than the desk all round, save where a finger covers a side or a
// dark band runs to it.
std::array<double, 4> SideBrighterShares(const cv::Mat& bgr, const Quad& quad);

// Per side, the share of its length along which paper goes on beyond it: just outside (beyond a slip's
// bow, see SideStepShare) is at least `paper` grey level and no darker than just inside by 10 levels (an open
// book's page at its fold into the other page, a sheet lying against another). A dark picture printed to a
// sheet's edge does not count.
std::array<double, 4> SidePaperBeyondShares(const cv::Mat& bgr, const Quad& quad, double paper);

// Where the side tests look a little way beyond each side of `quad`: per side, 39 places along its middle
// eight tenths, each seen at 2, 4 and 8 hundredths of the outline's shorter side out (at least 6, 12 and 24
// pixels), nearest first. The points may lie off the picture.
std::array<std::vector<std::array<cv::Point2d, 3>>, 4> PointsBeyondSides(const Quad& quad);

// Per side, the share of its length beyond which (a little way out) lies what looks like the sheet itself
// in tint, rather than like what lies beyond at least two other sides: a crease or fold of crumpled paper
// taken for a side, the paper going on beyond it, shaded. 0 for sides with fewer than two others showing
// something clearly unlike the sheet in tint (nothing to tell sheet from desk by).
std::array<double, 4> SideSheetBeyondShares(const cv::Mat& bgr, const Quad& quad);

// Mean saturation inside the outline (the largest minus the smallest colour channel, 0..255): white paper
// lies near zero, a banknote or a coloured print well above.
double MeanSaturation(const cv::Mat& bgr, const Quad& quad);

// How much bluer (blue minus red, in grey levels) the inside is than a ring just outside (a tenth of its
// size wide): white paper's brightener shows it bluish beside a beige or grey desk under any light.
double BluerThanAround(const cv::Mat& bgr, const Quad& quad);

}  // namespace outside
