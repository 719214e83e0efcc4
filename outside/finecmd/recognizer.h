#pragma once
// Text recognition of one page at a time with libtesseract, giving the words with their boxes grouped
// into lines and paragraphs, so each document writer can lay the text out its own way.

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "outside/finecmd/page_source.h"

namespace tesseract {
class TessBaseAPI;
}

namespace outside {

struct Word {
    std::string text;  // UTF-8
    int left = 0, top = 0, right = 0, bottom = 0;
    float confidence = 0;  // Tesseract's, 0 to 100
};
struct TextLine {
    std::vector<Word> words;
};
struct Paragraph {
    std::vector<TextLine> lines;
};
// A block of the page Tesseract's layout took for a picture: no words are read in it.
struct PictureBlock {
    int left = 0, top = 0, right = 0, bottom = 0;
};
struct PageText {
    std::vector<Paragraph> paragraphs;
    std::vector<PictureBlock> pictures;
};

// The line's words joined by single spaces.
std::string LineText(const TextLine& line);

// A page's resolution: the file's, else one guessed from the width as for a landscape A4 sheet.
int PageResolution(int file_dpi, int width);

class Recognizer {
  public:
    Recognizer();
    ~Recognizer();
    Recognizer(const Recognizer&) = delete;
    Recognizer& operator=(const Recognizer&) = delete;

    // `language` in Tesseract's spelling ("eng", "chi_sim+eng"). A language whose data is not installed
    // falls back to English with a warning on stderr. False when not even English can be loaded.
    // `with_english`: English() is wanted too; the English engine loaded first to tell the languages
    // installed stays as it, not loaded a second time.
    bool Init(const std::string& language, bool with_english = false);
    const std::string& Language() const { return language_; }

    // Recognises the page; `input_name` is the file it came from.
    PageText Recognize(Pix* page, int dpi, const std::string& input_name);

    // The page's lines and words as Tesseract's page layout finds them, with their boxes but no text,
    // at a fraction of Recognize's time; in the current page segmentation mode. The blocks it takes for
    // pictures (or rules) are given as pictures, not lines: no reading reads words in them.
    PageText Layout(Pix* page, int dpi);

    // Recognises the page Layout was given last, in the layout it found there (not found again): a
    // reading that needs the layout first costs no more than one without it.
    PageText RecognizeLaidOut(const std::string& input_name);

    // Whether the page's print stands upside down, by Tesseract's orientation model: 1 when it does, 0
    // when it stands upright, -1 when the model is not sure (little print) or not installed.
    int UpsideDown(Pix* page, int dpi);
    // Loads the orientation model on a thread of its own (after Init), while this engine reads: a card read
    // thin asks it right after its first reading, and its load takes a third of a second, longer than a
    // language's. Unless loaded so, UpsideDown loads it on first use.
    void LoadOrientationAside();

    // The engine itself, for Tesseract's own renderers (valid after Recognize for that page).
    tesseract::TessBaseAPI& Api() { return *api_; }
    // A recogniser of English alone, loaded on first use; null where this one reads English alone or
    // English cannot be loaded. A language's data spells only its own letters ("deu" has no "é"), and
    // where it reads a word surely the engine does not try the others: a word borrowed from another
    // language ("Café" on a German card) is read without its mark, as English reads it with one.
    Recognizer* English();
    // A second engine of this one's language, to read parts of a picture on a second core (see
    // ReadOnBothEngines); loaded on first use unless LoadPartnerAside loads it first. Null on a machine of
    // one core or where the data cannot be loaded again.
    Recognizer* Partner();
    // Loads the partner on a thread of its own, while this engine reads (after Init): the first reading
    // of a card takes longer than the load, and the partner is asked for after it.
    void LoadPartnerAside();
    // The partner for one reading side by side, or null while it is lent already (a reading side by side
    // within another runs on the engine it was given alone) or there is none; given back with
    // ReturnPartner. Called on the thread that uses this recognizer only.
    Recognizer* BorrowPartner();
    void ReturnPartner() { partner_lent_ = false; }
    // Sets `other` to read as this one reads now: the page layout mode and the thresholds the card
    // reading changes (how print is told from the ground, whether unsure lines are read inverted).
    void CopySettingsTo(Recognizer& other);

  private:
    void LoadPartner();
    // Loads the orientation model unless it is loaded or being loaded already (then waits for it).
    void LoadOrientationModel();

    std::unique_ptr<tesseract::TessBaseAPI> api_;
    std::unique_ptr<tesseract::TessBaseAPI> orientation_;  // loaded on first use
    bool orientation_missing_ = false;
    std::once_flag orientation_loaded_;
    std::unique_ptr<Recognizer> english_;  // loaded on first use
    bool english_missing_ = false;
    std::unique_ptr<Recognizer> partner_;  // loaded on first use, or aside
    bool partner_missing_ = false;
    bool partner_lent_ = false;
    // Loading the partner and the orientation model aside; the partner's joined before it is read, the
    // orientation model waited for by LoadOrientationModel. Last, so they are joined before what they load
    // goes.
    std::jthread partner_loading_;
    std::jthread orientation_loading_;
    std::string language_;
};

}  // namespace outside
