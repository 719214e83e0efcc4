#pragma once
// Where the live picture goes in the view: the largest 4:3 rectangle centred in a client area of
// width x height, in whole pixels (divisions drop the fraction).

struct VideoPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

VideoPlacement FitVideoRect(int client_width, int client_height);
