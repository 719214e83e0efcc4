#pragma once
// The three camera dialogs: brightness and contrast (template 100), focus (329) and exposure (330). Each
// sends its values to the camera while the user moves them, stores them on OK and sends the stored values
// again on Cancel. GUI thread only.

#include "app/commands/view_commands.h"
#include "app/dialogs/base_setting_dlg.h"

class CVellumoSettings;
class QAbstractSlider;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

class CSettingBRIDlg : public CBaseSettingDlg {
    Q_OBJECT
  public:
    CSettingBRIDlg(CVellumoSettings& settings, ViewCommandServices camera, QWidget* parent = nullptr);

    int m_nBrightness = 0;
    int m_nContrast = 0;

  protected:
    void OnInitDialog() override;

  private:
    struct Control {
        QSlider* slider = nullptr;
        QLineEdit* edit = nullptr;
        int max = 0;
        unsigned range_message = 0;
        int* value = nullptr;
        std::function<void(long)> send;
    };
    void Show(Control& control, int value);
    void OnSliderReleased(Control& control);
    void OnEditLeft(Control& control);
    void OnDefault();
    void OnOK();
    void OnCancel();

    CVellumoSettings& settings_;
    ViewCommandServices camera_;
    Control brightness_;
    Control contrast_;
};

class CSettingFocusDlg : public CBaseSettingDlg {
    Q_OBJECT
  public:
    CSettingFocusDlg(CVellumoSettings& settings, ViewCommandServices camera, QWidget* parent = nullptr);

    bool m_bAutoFocus = false;
    int m_nFocus = 0;

  protected:
    void OnInitDialog() override;
    void showEvent(QShowEvent* event) override;

  private:
    void SendFocus();
    void EnableManual();
    void OnCancel();

    CVellumoSettings& settings_;
    ViewCommandServices camera_;
    QSlider* slider_ = nullptr;
    QLineEdit* edit_ = nullptr;
    QCheckBox* auto_box_ = nullptr;
};

class CExposureDlg : public CBaseSettingDlg {
    Q_OBJECT
  public:
    CExposureDlg(CVellumoSettings& settings, ViewCommandServices camera, QWidget* parent = nullptr);

    int m_nValue = 0;

  protected:
    void OnInitDialog() override;
    void showEvent(QShowEvent* event) override;

  private:
    CVellumoSettings& settings_;
    ViewCommandServices camera_;
    QSlider* slider_ = nullptr;
    QLabel* text_ = nullptr;
};

// Where the focus and exposure dialogs open: their left edge 400 pixels left of the desktop's right edge,
// their top 100 pixels below the desktop's top.
void PlaceBesideDesktopEdge(QWidget* dialog);
