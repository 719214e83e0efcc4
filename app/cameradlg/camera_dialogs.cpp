#include "app/cameradlg/camera_dialogs.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>

#include "app/cameradlg/control_values.h"
#include "app/resources/resource_library.h"
#include "platform/ui/prompt.h"
#include "settings/settings.h"

namespace {

constexpr unsigned kCaption = 133;

template <typename Function, typename... Args>
void Send(const Function& function, Args... args) {
    if (function) function(args...);
}

std::optional<ScrollAction> ScrollActionOf(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            return ScrollAction::LineLeft;
        case QAbstractSlider::SliderSingleStepAdd:
            return ScrollAction::LineRight;
        case QAbstractSlider::SliderPageStepSub:
            return ScrollAction::PageLeft;
        case QAbstractSlider::SliderPageStepAdd:
            return ScrollAction::PageRight;
        case QAbstractSlider::SliderMove:
            return ScrollAction::Thumb;
        case QAbstractSlider::SliderToMinimum:
            return ScrollAction::Left;
        case QAbstractSlider::SliderToMaximum:
            return ScrollAction::Right;
        default:
            return std::nullopt;
    }
}

// Replaces the toolkit's own step with the dialog's rule; returns the new position.
int ApplyScroll(QSlider* slider, int action, int line, int page) {
    auto scroll = ScrollActionOf(action);
    if (!scroll) return slider->sliderPosition();
    int position =
        ScrollPosition(*scroll, slider->value(), slider->sliderPosition(), line, page, slider->maximum());
    slider->setSliderPosition(position);
    return position;
}

void SetText(QWidget* control, int value) {
    const QString text = QString::number(value);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        QSignalBlocker quiet(edit);
        edit->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    }
}

void SetSlider(QSlider* slider, int value) {
    if (slider == nullptr) return;
    QSignalBlocker quiet(slider);
    slider->setPageStep(1);
    slider->setValue(value);
}

}  // namespace

// ---- brightness and contrast

CSettingBRIDlg::CSettingBRIDlg(CVellumoSettings& settings, ViewCommandServices camera, QWidget* parent)
    : CBaseSettingDlg(100, parent), settings_(settings), camera_(std::move(camera)) {
    brightness_ = Control{ControlAs<QSlider>(707), ControlAs<QLineEdit>(708), 255, 136,
                          &m_nBrightness,          camera_.set_brightness};
    contrast_ = Control{ControlAs<QSlider>(710), ControlAs<QLineEdit>(709), 31, 137, &m_nContrast,
                        camera_.set_contrast};
    for (Control* control : {&brightness_, &contrast_}) {
        if (control->slider != nullptr) {
            control->slider->setRange(0, control->max);
            // A press on the track or a drag ends in a release; the keyboard's steps count as one too.
            connect(control->slider, &QSlider::sliderReleased, this,
                    [this, control] { OnSliderReleased(*control); });
            connect(control->slider, &QSlider::valueChanged, this, [this, control] {
                if (!control->slider->isSliderDown()) OnSliderReleased(*control);
            });
        }
        if (control->edit != nullptr) {
            connect(control->edit, &QLineEdit::textEdited, this, [this, control](const QString& text) {
                *control->value = ProfileNumber(text.toStdString());
                if (control == &contrast_ && *control->value >= 0 && *control->value <= control->max)
                    SetSlider(control->slider, *control->value);
            });
            connect(control->edit, &QLineEdit::editingFinished, this,
                    [this, control] { OnEditLeft(*control); });
        }
    }
    if (auto* button = ControlAs<QAbstractButton>(711))
        connect(button, &QAbstractButton::clicked, this, &CSettingBRIDlg::OnDefault);
    if (auto* button = ControlAs<QAbstractButton>(705))
        connect(button, &QAbstractButton::clicked, this, &CSettingBRIDlg::OnOK);
    if (auto* button = ControlAs<QAbstractButton>(706))
        connect(button, &QAbstractButton::clicked, this, &CSettingBRIDlg::OnCancel);
}

void CSettingBRIDlg::OnInitDialog() {
    CBaseSettingDlg::OnInitDialog();
    m_nBrightness = settings_.m_nBrightness;
    m_nContrast = settings_.m_nContrast;
    Show(brightness_, m_nBrightness);
    Show(contrast_, m_nContrast);
}

void CSettingBRIDlg::Show(Control& control, int value) {
    SetSlider(control.slider, value);
    SetText(control.edit, value);
}

void CSettingBRIDlg::OnSliderReleased(Control& control) {
    *control.value = control.slider->value();
    SetText(control.edit, *control.value);
    Send(control.send, static_cast<long>(*control.value));
}

void CSettingBRIDlg::OnEditLeft(Control& control) {
    if (control.edit == nullptr) return;
    EditValue checked = CheckEditValue(control.edit->text().toStdString(), control.max);
    if (checked.out_of_range)
        platform::MessageBox(LoadResString(control.range_message), LoadResString(kCaption),
                             platform::MB_ICONWARNING | platform::MB_TASKMODAL);
    *control.value = checked.value;
    Show(control, checked.value);
    Send(control.send, static_cast<long>(checked.value));
}

void CSettingBRIDlg::OnDefault() {
    m_nBrightness = 128;
    m_nContrast = 16;
    for (Control* control : {&brightness_, &contrast_}) {
        Show(*control, *control->value);
        Send(control->send, static_cast<long>(*control->value));
    }
}

void CSettingBRIDlg::OnOK() {
    settings_.m_nBrightness = m_nBrightness;
    settings_.m_nContrast = m_nContrast;
    accept();
}

void CSettingBRIDlg::OnCancel() {
    Send(camera_.set_brightness, static_cast<long>(settings_.m_nBrightness));
    Send(camera_.set_contrast, static_cast<long>(settings_.m_nContrast));
    reject();
}

// ---- focus

CSettingFocusDlg::CSettingFocusDlg(CVellumoSettings& settings, ViewCommandServices camera, QWidget* parent)
    : CBaseSettingDlg(329, parent), settings_(settings), camera_(std::move(camera)) {
    slider_ = ControlAs<QSlider>(1048);
    edit_ = ControlAs<QLineEdit>(1046);
    auto_box_ = ControlAs<QCheckBox>(1047);
    if (slider_ != nullptr) {
        slider_->setRange(0, 255);
        connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
            m_nFocus = ApplyScroll(slider_, action, 1, 10);
            SetText(edit_, m_nFocus);
            SendFocus();
        });
    }
    if (auto_box_ != nullptr)
        connect(auto_box_, &QCheckBox::clicked, this, [this] {
            m_bAutoFocus = auto_box_->isChecked();
            EnableManual();
            SendFocus();
        });
    if (auto* ok = ControlAs<QAbstractButton>(1044))
        connect(ok, &QAbstractButton::clicked, this, [this] {
            settings_.m_nFocus = m_nFocus;
            settings_.m_bAutoFocus = m_bAutoFocus ? 1 : 0;
            accept();
        });
    if (auto* cancel = ControlAs<QAbstractButton>(1045))
        connect(cancel, &QAbstractButton::clicked, this, &CSettingFocusDlg::OnCancel);
}

void CSettingFocusDlg::OnInitDialog() {
    CBaseSettingDlg::OnInitDialog();
    m_bAutoFocus = settings_.m_bAutoFocus != 0;
    if (auto_box_ != nullptr) auto_box_->setChecked(m_bAutoFocus);
    EnableManual();
    m_nFocus =
        camera_.get_focus_position ? static_cast<int>(camera_.get_focus_position()) : settings_.m_nFocus;
    settings_.m_nFocus = m_nFocus;
    SetSlider(slider_, m_nFocus);
    SetText(edit_, m_nFocus);
    SendFocus();
}

void CSettingFocusDlg::showEvent(QShowEvent* event) {
    CBaseSettingDlg::showEvent(event);
    PlaceBesideDesktopEdge(this);
}

void CSettingFocusDlg::EnableManual() {
    if (slider_ != nullptr) slider_->setEnabled(!m_bAutoFocus);
    if (edit_ != nullptr) edit_->setEnabled(!m_bAutoFocus);
}

void CSettingFocusDlg::SendFocus() {
    if (m_bAutoFocus)
        Send(camera_.set_focus_auto);
    else
        Send(camera_.set_focus_position, static_cast<long>(m_nFocus));
}

void CSettingFocusDlg::OnCancel() {
    if (settings_.m_bAutoFocus)
        Send(camera_.set_focus_auto);
    else
        Send(camera_.set_focus_position, static_cast<long>(settings_.m_nFocus));
    reject();
}

// ---- exposure

CExposureDlg::CExposureDlg(CVellumoSettings& settings, ViewCommandServices camera, QWidget* parent)
    : CBaseSettingDlg(330, parent), settings_(settings), camera_(std::move(camera)) {
    slider_ = ControlAs<QSlider>(1056);
    text_ = ControlAs<QLabel>(1057);
    if (slider_ != nullptr) {
        slider_->setRange(0, 10);
        connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
            m_nValue = ApplyScroll(slider_, action, 1, 1) * 10;
            SetText(text_, m_nValue);
            Send(camera_.set_iris_value, static_cast<long>(m_nValue));
        });
    }
    if (auto* ok = ControlAs<QAbstractButton>(1054))
        connect(ok, &QAbstractButton::clicked, this, [this] {
            settings_.m_nExposureManual = m_nValue;
            accept();
        });
    if (auto* cancel = ControlAs<QAbstractButton>(1055))
        connect(cancel, &QAbstractButton::clicked, this, [this] {
            Send(camera_.set_iris_value, static_cast<long>(settings_.m_nExposureManual));
            reject();
        });
}

void CExposureDlg::OnInitDialog() {
    CBaseSettingDlg::OnInitDialog();
    m_nValue = settings_.m_nExposureManual;
    SetSlider(slider_, m_nValue / 10);
    SetText(text_, m_nValue);
    Send(camera_.set_iris_value, static_cast<long>(m_nValue));
}

void CExposureDlg::showEvent(QShowEvent* event) {
    CBaseSettingDlg::showEvent(event);
    PlaceBesideDesktopEdge(this);
}

void PlaceBesideDesktopEdge(QWidget* dialog) {
    QScreen* screen = dialog->screen() != nullptr ? dialog->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect desktop = screen->geometry();
    dialog->move(desktop.right() + 1 - 400, desktop.top() + 100);
}
