// The resource library: every string, dialog control, ribbon command and accelerator the program relies on.
#include "app/resources/resource_library.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QXmlStreamReader>
#include <cstdio>
#include <map>
#include <set>

#include "app/commands/accelerators.h"
#include "app/dialogs/base_setting_dlg.h"

namespace {

class Resources : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { SetAppResources(ResourceLibrary::LoadFrom(VELLUMO_BIN_DIR)); }
    static void TearDownTestSuite() { SetAppResources(std::nullopt); }
    void SetUp() override { ASSERT_NE(AppResources(), nullptr); }
};

std::vector<unsigned> Range(unsigned first, unsigned last) {
    std::vector<unsigned> ids;
    for (unsigned id = first; id <= last; ++id) ids.push_back(id);
    return ids;
}

}  // namespace

TEST_F(Resources, EveryStringTheProgramUsesExists) {
    std::vector<unsigned> ids = {104, 122, 124, 125, 126, 127, 128, 129, 132, 133, 134, 136,
                                 137, 138, 140, 141, 154, 155, 156, 157, 158, 159, 850};
    for (unsigned id : Range(142, 153)) ids.push_back(id);
    for (unsigned id : Range(160, 174)) ids.push_back(id);
    for (unsigned id : Range(1094, 1114)) ids.push_back(id);
    for (unsigned id : ids) EXPECT_FALSE(LoadResString(id).empty()) << "string " << id;
    EXPECT_EQ(LoadResString(9999), "");

    std::set<std::string> languages;
    for (unsigned id : Range(1094, 1114)) languages.insert(LoadResString(id));
    EXPECT_EQ(languages.size(), 21u) << "21 distinct card languages";
    EXPECT_EQ(LoadResString(126) == LoadResString(127) || LoadResString(127) == LoadResString(128), false);
}

TEST_F(Resources, RecordingFormatsTakeTheirArgumentsInOrder) {
    char text[300];
    std::snprintf(text, sizeof text, LoadResString(125).c_str(), 111, 22, 3, 4);
    std::string running = text;
    EXPECT_LT(running.find("111"), running.find("22"));
    EXPECT_NE(running.find("3.4"), std::string::npos);

    std::snprintf(text, sizeof text, LoadResString(124).c_str(), 500, 20, 5, 7, 24, 9, 3, 42);
    std::string summary = text;
    EXPECT_NE(summary.find("500"), std::string::npos);
    EXPECT_NE(summary.find("20.5"), std::string::npos);
    EXPECT_NE(summary.find("7"), std::string::npos);
    EXPECT_NE(summary.find("24.9"), std::string::npos);
    EXPECT_NE(summary.find("3.042"), std::string::npos);
    for (unsigned id : {124u, 125u}) {
        std::string format = LoadResString(id);
        size_t conversions = 0;
        for (size_t at = format.find('%'); at != std::string::npos; at = format.find('%', at + 1)) {
            EXPECT_NE(format.find_first_of("d", at), std::string::npos);
            ++conversions;
        }
        EXPECT_EQ(conversions, id == 124 ? 8u : 4u);
    }
}

TEST_F(Resources, EveryDialogCarriesItsControls) {
    using Kind = const QMetaObject*;
    const Kind button = &QAbstractButton::staticMetaObject, edit = &QLineEdit::staticMetaObject,
               slider = &QSlider::staticMetaObject, combo = &QComboBox::staticMetaObject,
               label = &QLabel::staticMetaObject, progress = &QProgressBar::staticMetaObject,
               check = &QCheckBox::staticMetaObject, radio = &QRadioButton::staticMetaObject;
    std::map<unsigned, std::map<int, Kind>> dialogs = {
        {100,
         {{705, button},
          {706, button},
          {707, slider},
          {708, edit},
          {709, edit},
          {710, slider},
          {711, button}}},
        {101, {{1, button}}},
        {102, {{700, button}, {701, button}, {702, edit}, {703, edit}, {704, button}}},
        {103, {{1018, button}, {1019, button}, {1020, combo}}},
        {311, {{1000, label}, {1001, button}, {1002, button}, {1003, progress}, {1004, label}}},
        {312, {{1006, button}, {1008, button}}},
        {314, {{1009, button}, {1010, button}}},
        {315, {{1012, button}, {1014, button}}},
        {329, {{1044, button}, {1045, button}, {1046, edit}, {1047, check}, {1048, slider}}},
        {330, {{1054, button}, {1055, button}, {1056, slider}, {1057, label}}},
        {332, {{1, button}, {2, button}, {1093, combo}}},
    };
    std::map<int, Kind> card_language = {{1, button}, {2, button}};
    for (int id = 1075; id <= 1083; ++id) card_language[id] = radio;
    dialogs[331] = card_language;

    for (auto& [dialog_id, controls] : dialogs) {
        CBaseSettingDlg dialog(dialog_id);
        ASSERT_TRUE(dialog.TemplateLoaded()) << "dialog " << dialog_id;
        EXPECT_FALSE(dialog.windowTitle().isEmpty()) << "dialog " << dialog_id;
        for (auto& [control_id, kind] : controls) {
            QWidget* control = dialog.Control(control_id);
            ASSERT_NE(control, nullptr) << "dialog " << dialog_id << " control " << control_id;
            EXPECT_TRUE(control->metaObject()->inherits(kind))
                << "dialog " << dialog_id << " control " << control_id << " is a "
                << control->metaObject()->className();
        }
    }
    auto sliders = std::map<int, std::pair<int, int>>{{707, {0, 255}}, {710, {0, 31}}};
    CBaseSettingDlg brightness(100);
    for (auto& [id, range] : sliders) {
        auto* s = brightness.ControlAs<QSlider>(id);
        EXPECT_EQ(s->minimum(), range.first);
        EXPECT_EQ(s->maximum(), range.second);
    }
    EXPECT_EQ(CBaseSettingDlg(330).ControlAs<QSlider>(1056)->maximum(), 10);
    EXPECT_FALSE(CBaseSettingDlg(999).TemplateLoaded());
}

TEST_F(Resources, OkAndCancelButtonsCloseTheDialog) {
    CBaseSettingDlg about(101);
    about.show();
    about.ControlAs<QAbstractButton>(1)->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(Resources, RibbonHoldsTheCategoriesAndEveryCommand) {
    auto xml = AppResources()->FindResource(kResourceRibbon, 307);
    ASSERT_TRUE(xml);
    QXmlStreamReader reader(QByteArray::fromStdString(*xml));
    std::map<std::string, int> panels_per_category;
    std::set<int> commands;
    std::string category;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) continue;
        auto attributes = reader.attributes();
        if (reader.name() == u"category") {
            category = attributes.hasAttribute("name") ? LoadResString(attributes.value("name").toUInt())
                                                       : attributes.value("title").toString().toStdString();
            ASSERT_FALSE(category.empty());
        } else if (reader.name() == u"panel") {
            ++panels_per_category[category];
        } else if (reader.name() == u"button" || reader.name() == u"item") {
            EXPECT_TRUE(commands.insert(attributes.value("id").toInt()).second)
                << "command " << attributes.value("id").toString().toStdString() << " twice";
        }
    }
    ASSERT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    for (unsigned name : {126u, 127u, 128u}) EXPECT_GE(panels_per_category[LoadResString(name)], 3) << name;

    // Added by the program at start-up instead: the resolution menu and the OCR and property buttons.
    std::set<int> added_in_code = {839, 1026, 1027, 1028, 846, 848,  1005, 1013, 1007,
                                   813, 814,  815,  816,  817, 1017, 1015, 1016, 818};
    std::vector<int> required = {
        800,  805,  844,  1043, 1022, 847,  1030, 1021, 1069, 1086, 1085, 1092, 1025, 1122,  1123, 1124, 1032,
        1034, 1039, 1049, 1115, 1125, 1033, 1023, 1084, 806,  807,  808,  809,  1060, 811,   812,  833,  834,
        835,  831,  832,  845,  820,  821,  822,  842,  1035, 1037, 1038, 1036, 823,  824,   825,  826,  1031,
        1011, 1074, 827,  828,  1040, 1041, 1117, 1118, 1119, 1126, 1127, 1050, 1051, 1052,  1053, 1063, 1064,
        1070, 1067, 1068, 1071, 1061, 1062, 1065, 1066, 1072, 1073, 1089, 1090, 1091, 57664, 1024};
    for (int id : required) EXPECT_TRUE(commands.count(id)) << "command " << id << " missing from the ribbon";
    for (int id : added_in_code)
        EXPECT_FALSE(commands.count(id)) << "command " << id << " would appear twice";
}

TEST_F(Resources, AcceleratorsAndTitleExist) {
    auto table = AppResources()->FindResource(kResourceAccelerator, 184);
    ASSERT_TRUE(table);
    auto accelerators = ParseAccelerators(*table);
    ASSERT_FALSE(accelerators.empty());
    for (const Accelerator& a : accelerators) EXPECT_GT(a.command, 0);
    auto title = AppResources()->FindResource(kResourceMenu, 180);
    ASSERT_TRUE(title);
    EXPECT_EQ(title->rfind("Vellumo", 0), 0u);
}
