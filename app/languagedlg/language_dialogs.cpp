#include "app/languagedlg/language_dialogs.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QRadioButton>

#include "app/resources/resource_library.h"
#include "ocr/engine/ocr_languages.h"
#include "settings/settings.h"

namespace {

constexpr int kFirstCardRadio = 1075;
constexpr int kLastCardRadio = 1083;
constexpr unsigned kFirstCard6String = 1094;
constexpr unsigned kLastCard6String = 1114;
constexpr size_t kCard6StringMax = 160;

}  // namespace

CFineReaderLanguage::CFineReaderLanguage(CVellumoSettings& settings, QWidget* parent)
    : CBaseSettingDlg(103, parent), settings_(settings), chosen_(settings.m_nOcrLanguage) {
    if (auto* list = ControlAs<QComboBox>(1020))
        connect(list, &QComboBox::currentIndexChanged, this, [this](int index) { chosen_ = index; });
    if (auto* store = ControlAs<QAbstractButton>(1019))
        connect(store, &QAbstractButton::clicked, this, [this] {
            settings_.m_nOcrLanguage = chosen_;
            QDialog::accept();
        });
    if (auto* close = ControlAs<QAbstractButton>(1018))
        connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
}

void CFineReaderLanguage::OnInitDialog() {
    CBaseSettingDlg::OnInitDialog();
    auto* list = ControlAs<QComboBox>(1020);
    if (list == nullptr) return;
    QSignalBlocker quiet(list);
    list->clear();
    for (int i = 0; i < ocr::kOcrLanguageCount; ++i)
        list->addItem(QString::fromUtf8(ocr::OcrLanguageDisplayName(i)));
    list->setCurrentIndex(settings_.m_nOcrLanguage);
    chosen_ = settings_.m_nOcrLanguage;
}

CZorvexLanguage::CZorvexLanguage(CVellumoSettings& settings, QWidget* parent)
    : CBaseSettingDlg(331, parent), settings_(settings) {}

void CZorvexLanguage::OnInitDialog() {
    CBaseSettingDlg::OnInitDialog();
    if (auto* radio = ControlAs<QRadioButton>(kFirstCardRadio + settings_.m_nCardLanguage))
        radio->setChecked(true);
}

void CZorvexLanguage::accept() {
    for (int id = kFirstCardRadio; id <= kLastCardRadio; ++id) {
        auto* radio = ControlAs<QRadioButton>(id);
        if (radio != nullptr && radio->isChecked()) settings_.m_nCardLanguage = id - kFirstCardRadio;
    }
    QDialog::accept();
}

CZorvex6Language::CZorvex6Language(CVellumoSettings& settings, QWidget* parent)
    : CBaseSettingDlg(332, parent), settings_(settings) {}

void CZorvex6Language::OnInitDialog() {
    CBaseSettingDlg::OnInitDialog();
    auto* list = ControlAs<QComboBox>(1093);
    if (list == nullptr) return;
    list->clear();
    for (unsigned id = kFirstCard6String; id <= kLastCard6String; ++id)
        list->addItem(QString::fromStdString(LoadResString(id).substr(0, kCard6StringMax)));
    list->setCurrentIndex(settings_.m_nCard6Language);
}

void CZorvex6Language::accept() {
    if (auto* list = ControlAs<QComboBox>(1093); list != nullptr && list->currentIndex() >= 0)
        settings_.m_nCard6Language = list->currentIndex();
    QDialog::accept();
}
