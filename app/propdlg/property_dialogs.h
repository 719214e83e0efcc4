#pragma once
// Our own pages for the camera's properties, in place of the drivers' property pages: the picture and
// camera controls with sliders and automatic boxes (846), the YUY2 stream formats (847), and the audio
// input's (848), which has nothing to set. Changes go to the camera at once. GUI thread only.

#include <QDialog>

#include "capture/capture_record.h"

class QListWidget;

class CVideoPropertiesDlg : public QDialog {
    Q_OBJECT
  public:
    // Controls the filter does not offer, or whose range it cannot tell, are left out.
    CVideoPropertiesDlg(platform::CaptureFilter* filter, QWidget* parent = nullptr);
    int Rows() const { return rows_; }

  private:
    int rows_ = 0;
};

class CStreamFormatDlg : public QDialog {
    Q_OBJECT
  public:
    // The YUY2 formats of `config`; OK sets the chosen one. An empty list without a configuration.
    CStreamFormatDlg(platform::StreamConfig* config, QWidget* parent = nullptr);
    QListWidget* Formats() const { return list_; }

  private:
    void accept() override;

    platform::StreamConfig* config_;
    std::vector<platform::VideoFormat> formats_;
    QListWidget* list_ = nullptr;
};

class CAudioPropertiesDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAudioPropertiesDlg(QWidget* parent = nullptr);
};

class CommandTable;

// Commands 846/847/848 (property dialogs) and 1026/1027/1028 (preview resolution, checked by the current
// one), enabled while the camera is present, no recording runs and no still is being taken.
void AddVideoCommands(CommandTable& commands, CCaptureRecord& record, QWidget* owner,
                      std::function<void()> update_status);
