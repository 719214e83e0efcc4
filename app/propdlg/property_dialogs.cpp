#include "app/propdlg/property_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QVBoxLayout>

#include "app/commands/command_table.h"
#include "capture/capture_engine.h"

namespace {

using platform::kControlFlagsAuto;
using platform::kControlFlagsManual;

// One control, whichever interface carries it.
struct ControlAccess {
    QString name;
    std::function<int32_t(platform::ControlRange*)> range;
    std::function<int32_t(long*, long*)> get;
    std::function<int32_t(long, long)> set;
};

std::vector<ControlAccess> ControlsOf(platform::CaptureFilter* filter) {
    std::vector<ControlAccess> controls;
    if (filter == nullptr) return controls;
    if (platform::VideoProcAmp* amp = filter->QueryVideoProcAmp()) {
        using P = platform::VideoProcProperty;
        for (auto [property, name] : {std::pair{P::Brightness, "Brightness"},
                                      {P::Contrast, "Contrast"},
                                      {P::BacklightCompensation, "Backlight compensation"}})
            controls.push_back({QObject::tr(name),
                                [=](platform::ControlRange* r) { return amp->GetRange(property, r); },
                                [=](long* v, long* f) { return amp->Get(property, v, f); },
                                [=](long v, long f) { return amp->Set(property, v, f); }});
    }
    if (platform::CameraControl* camera = filter->QueryCameraControl()) {
        using P = platform::CameraControlProperty;
        for (auto [property, name] : {std::pair{P::Focus, "Focus"}, {P::Iris, "Exposure"}})
            controls.push_back({QObject::tr(name),
                                [=](platform::ControlRange* r) { return camera->GetRange(property, r); },
                                [=](long* v, long* f) { return camera->Get(property, v, f); },
                                [=](long v, long f) { return camera->Set(property, v, f); }});
    }
    return controls;
}

QDialogButtonBox* CloseButtons(QDialog* dialog, QDialogButtonBox::StandardButtons buttons) {
    auto* box = new QDialogButtonBox(buttons, dialog);
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

QString FormatText(const platform::VideoFormat& format) {
    QString text = QString("%1 x %2, YUY2 16 bit").arg(format.width).arg(format.height);
    if (format.interval_numerator > 0 && format.interval_denominator > 0)
        text += QString(", %1 fps")
                    .arg(double(format.interval_denominator) / format.interval_numerator, 0, 'g', 3);
    return text;
}

}  // namespace

CVideoPropertiesDlg::CVideoPropertiesDlg(platform::CaptureFilter* filter, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Video properties"));
    auto* grid = new QGridLayout;
    for (const ControlAccess& control : ControlsOf(filter)) {
        platform::ControlRange range;
        if (control.range(&range) < 0 || range.max <= range.min) continue;
        long value = range.default_value;
        long flags = kControlFlagsManual;
        control.get(&value, &flags);

        const int row = rows_++;
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(control.name);
        slider->setRange(static_cast<int>(range.min), static_cast<int>(range.max));
        slider->setSingleStep(static_cast<int>(std::max(1L, range.step)));
        slider->setPageStep(static_cast<int>(std::max(1L, range.step)));
        slider->setValue(static_cast<int>(value));
        auto* shown = new QLabel(QString::number(value), this);
        grid->addWidget(new QLabel(control.name, this), row, 0);
        grid->addWidget(slider, row, 1);
        grid->addWidget(shown, row, 2);

        QCheckBox* automatic = nullptr;
        if (range.caps_flags & kControlFlagsAuto) {
            automatic = new QCheckBox(tr("Auto"), this);
            automatic->setObjectName(control.name + " auto");
            automatic->setChecked(flags == kControlFlagsAuto);
            slider->setEnabled(!automatic->isChecked());
            grid->addWidget(automatic, row, 3);
            connect(automatic, &QCheckBox::toggled, this, [control, slider](bool on) {
                slider->setEnabled(!on);
                if (on)
                    control.set(0, kControlFlagsAuto);
                else
                    control.set(slider->value(), kControlFlagsManual);
            });
        }
        connect(slider, &QSlider::valueChanged, this, [control, shown](int position) {
            shown->setText(QString::number(position));
            control.set(position, kControlFlagsManual);
        });
    }
    auto* layout = new QVBoxLayout(this);
    if (rows_ == 0) layout->addWidget(new QLabel(tr("The camera offers no picture controls."), this));
    layout->addLayout(grid);
    layout->addWidget(CloseButtons(this, QDialogButtonBox::Close));
}

CStreamFormatDlg::CStreamFormatDlg(platform::StreamConfig* config, QWidget* parent)
    : QDialog(parent), config_(config) {
    setWindowTitle(tr("Stream format"));
    list_ = new QListWidget(this);
    std::optional<platform::VideoFormat> current;
    if (config_ != nullptr) {
        current = config_->GetFormat();
        for (const platform::VideoFormat& format : config_->Capabilities()) {
            if (format.fourcc != platform::kFourccYuy2 || format.bit_count != 16) continue;
            formats_.push_back(format);
            list_->addItem(FormatText(format));
            if (current && *current == format) list_->setCurrentRow(list_->count() - 1);
        }
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(CloseButtons(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
}

void CStreamFormatDlg::accept() {
    const int row = list_->currentRow();
    if (config_ != nullptr && row >= 0 && row < static_cast<int>(formats_.size()))
        config_->SetFormat(formats_[row]);
    QDialog::accept();
}

CAudioPropertiesDlg::CAudioPropertiesDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Audio properties"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("The audio input has no settings of its own."), this));
    layout->addWidget(CloseButtons(this, QDialogButtonBox::Ok));
}

void AddVideoCommands(CommandTable& commands, CCaptureRecord& record, QWidget* owner,
                      std::function<void()> update_status) {
    auto enabled = [&record] {
        return record.m_bDevicePresent && record.m_bNotRecording && !record.m_bCaptureBusy;
    };
    commands.Add(
        846,
        [&record, owner] {
            CVideoPropertiesDlg dialog(record.m_engine.m_pVideoCapture.get(), owner);
            dialog.exec();
            record.m_engine.ReadBackVideoProperties();  // saved at exit
        },
        [enabled](CommandState& state) { state.enabled = enabled(); });
    commands.Add(
        847,
        [&record, owner] {
            record.m_engine.EditStreamFormat([owner](platform::StreamConfig* config) {
                CStreamFormatDlg dialog(config, owner);
                dialog.exec();
            });
        },
        [enabled](CommandState& state) { state.enabled = enabled(); });
    commands.Add(
        848,
        [&record, owner] {
            if (!record.m_engine.m_pAudioCapture) return;
            CAudioPropertiesDlg dialog(owner);
            dialog.exec();
        },
        [enabled](CommandState& state) { state.enabled = enabled(); });
    for (int index = 0; index < 3; ++index) {
        commands.Add(
            1026 + index,
            [&record, index, update_status] {
                record.m_engine.SelectPreviewResolution(index, update_status);
            },
            [&record, index, enabled](CommandState& state) {
                state.enabled = enabled();
                state.SetCheck(record.m_nSetPreviewSize == index);
            });
    }
}
