#include "capture/video_fit.h"

VideoPlacement FitVideoRect(int client_width, int client_height) {
    VideoPlacement placement;
    int unit = client_height / 3;
    if (4 * unit < client_width) {  // wider than 4:3
        placement.width = 4 * unit;
        placement.height = 3 * unit;
        placement.x = (client_width - placement.width) / 2;
        return placement;
    }
    unit = client_width / 4;
    placement.width = 4 * unit;
    placement.height = 3 * unit;
    placement.y = (client_height - placement.height) / 2;
    return placement;
}
