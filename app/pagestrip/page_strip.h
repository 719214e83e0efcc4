#pragma once
// The page strip beside the view: thumbnails of the pages gathered so far for one PDF or an OCR series,
// with buttons to move the chosen page up or down (or drag it), turn it a quarter, delete it, or mark it
// for a retake (the next page captured takes its place). The decisions and the files are the page list's
// (pipeline::PageFileList); this only shows it and passes the user's choices on. Edits are taken while a
// series dialog waits for the next page, so no capture or document writing meets a changing list.
// GUI thread only.

#include <QHash>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "pipeline/pagelist/page_file_list.h"

class QLabel;
class QListWidget;
class QPushButton;

class CPageStrip : public QWidget {
    Q_OBJECT
  public:
    struct Hooks {
        std::function<pipeline::PageFileList*()> pages;  // the session's list; nullptr while there is none
        std::function<bool()> editable;                  // the pages may be changed now
        std::function<void(bool newest)>
            retake_marked;  // a page was marked for a retake; `newest`: taken last
    };
    CPageStrip(Hooks hooks, QWidget* parent);

    // For scripts: chooses page `page` (1-based) and presses the button of `action` ("up", "down", "turn",
    // "delete", "retake"), or, for "drag:N", drops it at place N as a drag within the strip does. False
    // when there is no such page or place, or the button (or dragging) is not enabled.
    bool Act(const std::string& action, int page);

    // Thumbnails at most this large.
    static constexpr int kThumbSize = 96;

  private:
    void Refresh();  // the list's version or editability changed: show it again
    void UpdateButtons();
    void Apply(const std::function<bool(pipeline::PageFileList&, int)>& edit, int select_after_delta);
    QImage Thumbnail(const std::string& path);

    Hooks hooks_;
    QLabel* title_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QPushButton* turn_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* retake_ = nullptr;
    uint64_t shown_version_ = UINT64_MAX;
    bool shown_editable_ = false;
    // Downscaled once per picture: the key is the path with the file's time and size, so a page turned or
    // retaken under a reused name is read again.
    QHash<QString, QImage> thumbs_;
};
