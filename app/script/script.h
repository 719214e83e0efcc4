#pragma once
// Scripts for unattended runs. The environment variable VELLUMO_SCRIPT names a text file that the running
// program plays on its GUI thread, one step a line:
//   wait <ms>               pause
//   command <id>            run a command as if its button was pressed
//   answer <OK|Cancel|Yes|No>  answer the next message box with that button
//   screenshot <file.png>   save a picture of the main window
//   camera <unplug|plug|next>  pull the virtual camera out, plug it back, or show its next photograph (or
//                           turn the next page of its stack)
//   await <live|empty|ready|raised|captured:N> <ms>  wait until the view paints new camera frames (live),
//   shows
//                           no picture (empty) or the capture command can be given again with nothing of the
//                           last capture still running (ready), a later start has brought the window to the
//                           front (raised), or auto-capture has taken N pages (captured:N), at most ms; the
//                           outcome is reported on stderr
//   press <button id> <ms>  wait (at most ms) for a dialog showing the button with that control ID, then
//                           press it; the outcome is reported on stderr
//   strip <up|down|turn|delete|retake|drag:N> <page> <ms>  wait (at most ms) until the page strip takes
//                           changes, then choose page (1-based) and press the strip's button, or drop it
//                           at place N (drag:N); the outcome is reported on stderr
//   area <l> <t> <r> <b>    drag a capture area over the picture, corners in percent of the picture
//   close                   close the main window (its close handler runs)
// Blank lines and lines starting with '#' are skipped.

#include <optional>
#include <string>
#include <vector>

struct ScriptStep {
    enum class Kind { Wait, Command, Answer, Screenshot, Camera, Await, Press, Strip, Area, Close };
    Kind kind = Kind::Wait;
    int number = 0;        // milliseconds, command ID, answer or bound
    int control = 0;       // the button to press, the pages awaited, or the strip's page
    int corners[4] = {};   // the capture area, percent of the picture
    std::string argument;  // screenshot file, camera action, awaited condition
};

struct ScriptParseResult {
    std::vector<ScriptStep> steps;
    std::vector<std::string> errors;  // "line N: ..." for lines that were not understood (and skipped)
};

ScriptParseResult ParseScript(const std::string& text);
