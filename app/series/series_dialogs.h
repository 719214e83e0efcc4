#pragma once
// The small dialogs of a capture series: CContinueCapture (314) after a saved picture, CTransform (311) after
// a page gathered for one PDF, CContinueOcr (315) and COcrTransform (312) for OCR and business-card series.
// Each closes with the ID of the button pressed, which its thread then acts on. GUI thread only.

#include "app/dialogs/base_setting_dlg.h"

// Connects each button to closing the dialog with its ID as the result.
class CSeriesDialog : public CBaseSettingDlg {
    Q_OBJECT
  public:
    CSeriesDialog(unsigned template_id, std::initializer_list<int> buttons, QWidget* parent);
};

class CContinueCapture : public CSeriesDialog {
    Q_OBJECT
  public:
    explicit CContinueCapture(QWidget* parent) : CSeriesDialog(314, {1009, 1010}, parent) {}
};

class CTransform : public CSeriesDialog {
    Q_OBJECT
  public:
    explicit CTransform(QWidget* parent) : CSeriesDialog(311, {1001, 1002}, parent) {}
    // While the document is written: the note and the progress bar instead of the text and the buttons.
    void ShowWriting();
    void SetProgress(unsigned long total, unsigned long done);

  protected:
    void OnInitDialog() override;
};

class CContinueOcr : public CSeriesDialog {
    Q_OBJECT
  public:
    explicit CContinueOcr(QWidget* parent) : CSeriesDialog(315, {1012, 1014}, parent) {}
};

class COcrTransform : public CSeriesDialog {
    Q_OBJECT
  public:
    explicit COcrTransform(QWidget* parent) : CSeriesDialog(312, {1006, 1008}, parent) {}
};
