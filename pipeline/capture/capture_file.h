#pragma once
// The files of a still capture: the temporary capture picture written from the grabbed frame, the page
// reshaping after detection, the card list the card detector leaves, and the distinct name a page keeps
// while it waits on a page list. Plain C++ over the platform's files.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/capture/capture_rules.h"
#include "pipeline/naming/file_naming.h"
#include "platform/files/file_result.h"

namespace pipeline {

// A bottom-up 24-bit frame, rows padded to 4 bytes; only read during the call.
struct CaptureFrame {
    const uint8_t* bytes = nullptr;
    size_t length = 0;
    int width = 0;
    int height = 0;
};

// A 32-bit B,G,R,x top-down picture (`stride` bytes a row) as a CaptureFrame's bytes.
std::vector<uint8_t> BottomUpBgr24FromBgrx(const uint8_t* bgrx, size_t stride, int width, int height);

// Writes the capture picture: the area when given, else the whole frame, reshaped to `shape` when given
// (white margins left and right, rows cropped evenly at the bottom and the top). Replaces the file in
// one step. On failure nothing is left under the name, and the result says why in plain words.
platform::FileResult WriteCaptureFile(const std::string& path, const CaptureFrame& frame,
                                      const std::optional<FrameArea>& area,
                                      const std::optional<PageShape>& shape, int32_t pixels_per_metre);

enum class ReshapeResult { Done, Skipped, Unreadable };
// Places a 24-bit picture centred on a white page of `shape`, keeping its resolution fields; a picture
// taller or wider than the page keeps its middle. Other depths are skipped (left as they are).
// Unreadable: the picture could not be opened, and the capture must end.
ReshapeResult ReshapeToPage(const std::string& path, const PageShape& shape);

// Cards in the card detector's list beside `picture` (lines holding "No="); the list is deleted after
// reading. 0 when there is no list.
int CountCardList(const std::string& picture);

// Moves a page picture to a name of its own beside it ("<base>-page<n><ext>", the first free n), so the
// next capture cannot overwrite it while it waits; the new path, or the old one when the move failed.
std::string KeepPageFile(const std::string& path);

// Saves a file without ever replacing one: `write` writes a new hidden file in the output's folder, which
// goes to disk and then takes the output name or, when another file has taken that name meanwhile, the
// name `next_name` gives (an empty one gives up). The name the file got; nothing when it was not written,
// and then nothing of it is left in the folder.
std::optional<std::string> PublishUnderFreeName(const std::string& output,
                                                const std::function<bool(const std::string& path)>& write,
                                                const std::function<std::string()>& next_name);

// Moves a picture into the save folder under the next free number of its kind (its extension), never
// replacing a file; where it is afterwards (still where it was when the save folder cannot take it).
std::string KeepInSaveFolder(const NamingSettings& naming, const std::string& picture);

// Pictures an earlier run left in the private temporary folder (it ended before their document was
// written or their hand-over done: a crash, a power cut) go to the save folder as numbered pictures, and
// the card-series list goes. Gathered pages go in the order their list file kept (the user's review
// included), the others by name. The names they were saved under.
std::vector<std::string> SaveLeftoverPictures(const NamingSettings& naming);

// The file keeping the order of the gathered pages in the private folder ("Kvo~Vellumo-pages.lst").
std::string PageOrderListPath();

// The card series' list of whole-desk pictures ("Doc-BCR-Temp.tmp" in the temp folder), deleted when the
// series ends: one path a line.
std::string CardSeriesListPath();
bool AppendCardSeriesPicture(const std::string& picture);
// Deletes every picture on the list, then the list.
void DeleteCardSeriesPictures();

}  // namespace pipeline
