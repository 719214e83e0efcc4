#pragma once
// The recognition-language dialogs: the OCR engine's language (template 103), the explorer program's
// (331: nine radio buttons) and the card program's (332: a list of the resource strings 1094 to 1114).
// Each stores its choice in the settings record only when the user confirms. GUI thread only.

#include "app/dialogs/base_setting_dlg.h"

class CVellumoSettings;
class QComboBox;

class CFineReaderLanguage : public CBaseSettingDlg {
    Q_OBJECT
  public:
    CFineReaderLanguage(CVellumoSettings& settings, QWidget* parent = nullptr);

  protected:
    void OnInitDialog() override;

  private:
    CVellumoSettings& settings_;
    int chosen_ = 0;
};

class CZorvexLanguage : public CBaseSettingDlg {
    Q_OBJECT
  public:
    CZorvexLanguage(CVellumoSettings& settings, QWidget* parent = nullptr);
    void accept() override;

  protected:
    void OnInitDialog() override;

  private:
    CVellumoSettings& settings_;
};

class CZorvex6Language : public CBaseSettingDlg {
    Q_OBJECT
  public:
    CZorvex6Language(CVellumoSettings& settings, QWidget* parent = nullptr);
    void accept() override;

  protected:
    void OnInitDialog() override;

  private:
    CVellumoSettings& settings_;
};
