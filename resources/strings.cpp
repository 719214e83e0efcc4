// The string table of the resource library.
#include "resources/strings.h"

const ResourceString kResourceStrings[] = {
    {104, "The program could not initialise its component system."},
    {122, "Status"},
    // Final recording summary: frames captured, seconds, tenths, frames dropped, frame rate whole part and
    // tenths, data rate MB/s whole part and thousandths.
    {124, "Recorded %d frames in %d.%d s (%d dropped), %d.%d frames/s, %d.%03d MB/s"},
    // Running recording statistics: frames captured, frames dropped, seconds, tenths.
    {125, "Recording: %d frames captured, %d dropped, %d.%d s"},
    {126, "Photo"},
    {127, "Video"},
    {128, "OCR"},
    {129,
     "Text recognition works best at the largest capture size (5M). Stop here to choose it first? (No "
     "captures at the current size.)"},
    {132,
     "No document camera was found. Connect the camera; the picture appears as soon as it is plugged in."},
    {133, "Vellumo"},
    {134, "Choose the folder for captured files"},
    {136, "Brightness must be a number from 0 to 255."},
    {137, "Contrast must be a number from 0 to 31."},
    {138, "Video Properties"},
    {140, "Audio Properties"},
    {141, "The page has been added. Capture the next page, or finish to write all pages into one PDF."},
    {142, "OCR Engine"},
    {143, "Built-in OCR engine"},
    {144, "Multiple Pages"},
    {145, "All pages into one document"},
    {146, "One document per page"},
    {147, "OCR Format"},
    {148, "RTF (Word)"},
    {149, "XLS"},
    {150, "PDF"},
    {151, "TXT"},
    {152, "RTF (WordPad)"},
    {153, "OCR Language"},
    {154, "A file-name prefix cannot contain spaces or any of these characters: \\ / : * ? \" < > |"},
    {155, "A video is being recorded. Stop the recording and exit?"},
    {156, "Preview Resolution"},
    {157,
     "Business cards are read best at the largest capture size (5M). Stop here to choose it first? (No "
     "captures at the current size.)"},
    {158, "Record"},
    {159, "Stop Recording"},
    {160, "Format"},
    {161, "OCR"},
    {162, "Size"},
    {163, "File Rotation"},
    {164, "Deskew"},
    {165, "File Continuous"},
    {166, "OCR Continuous"},
    {167, "Card Continuous"},
    {168, "Crop"},
    {169, "Enable"},
    {170, "Disable"},
    {171, "None"},
    {172, "90\xC2\xB0 clockwise"},
    {173, "180\xC2\xB0"},
    {174, "90\xC2\xB0 counter-clockwise"},
    // Recording failures: an element missing, the file not writable (%s the file), the recording cut short.
    {175, "The video cannot be recorded: a video encoder or multiplexer is not installed on this computer."},
    {176, "The video cannot be recorded to %s. Check that the save folder exists and can be written."},
    {177,
     "The recording stopped early (the camera was disconnected, or the disk is full). What was recorded is "
     "in %s."},
    {178,
     "The picture could not be saved as %s. Check that the save folder exists and can be written, and that "
     "the disk has room. The picture is kept as %s."},
    // The preview stopped on an error of the camera's picture path (%s the media library's words for it).
    {185,
     "The camera picture stopped because of an error (%s). Reconnect the camera or restart the program to "
     "see it again."},
    // The camera's control link needs the udev rule (the commands as the README gives them).
    {186,
     "Vellumo cannot reach the camera's controls (focus, exposure, picture turn): this user may not open the "
     "camera's HID device. Install the camera's udev rule once, from the folder of Vellumo's sources, then "
     "unplug the camera and plug it back in:\n\nsudo install -m 644 resources/udev/70-vellumo-camera.rules "
     "/etc/udev/rules.d/\nsudo udevadm control --reload-rules && sudo udevadm trigger"},
    // A hand-over that failed: what went wrong, then the kept pictures' names, one a line.
    {190, "The pictures could not be handed over: %s. Nothing is lost; they are kept as:%s"},
    {191, "The camera sent no picture for the capture. Check that it is connected and try again."},
    // Pictures of an earlier run that ended unexpectedly: how many, and the save folder.
    {192,
     "Vellumo ended last time before %d picture(s) were saved or handed over. They are saved as pictures in "
     "%s."},
    // A frame that could not be written to the temporary folder: the system's reason.
    {194, "The picture could not be written to Vellumo's temporary folder: %s. Nothing was saved."},
    // A capture size the camera does not offer: the size asked, then the size the pictures have.
    {193,
     "The camera does not offer the capture size %s, so pictures are taken at %dx%d, the size it gives."},
    {850, "The settings have changed. Save them for the next start?"},
    // Languages of the business-card program, in its order.
    {1094, "English"},
    {1095, "Chinese (Simplified)"},
    {1096, "Chinese (Traditional)"},
    {1097, "Japanese"},
    {1098, "French"},
    {1099, "German"},
    {1100, "Italian"},
    {1101, "Spanish"},
    {1102, "Portuguese"},
    {1103, "Dutch"},
    {1104, "Russian"},
    {1105, "Polish"},
    {1106, "Danish"},
    {1107, "Swedish"},
    {1108, "Norwegian"},
    {1109, "Finnish"},
    {1110, "Czech"},
    {1111, "Hungarian"},
    {1112, "Slovak"},
    {1113, "Greek"},
    {1114, "Turkish"},
};

const unsigned kResourceStringCount = sizeof kResourceStrings / sizeof kResourceStrings[0];
