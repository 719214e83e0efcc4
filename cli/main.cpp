// vellumo-capture: Vellumo's still capture from the command line, for photos taken elsewhere and scripts.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/camera_still.h"
#include "cli/capture_batch.h"
#include "cli/capture_options.h"
#include "cli/picture_file.h"
#include "platform/files/files.h"
#include "platform/profile/profile_store.h"
#include "settings/settings.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const cli::ParsedOptions parsed = cli::ParseCaptureOptions(args);
    if (!parsed.options) {
        std::cerr << "vellumo-capture: " << parsed.error << "\n(vellumo-capture --help shows the options)\n";
        return 2;
    }
    const cli::CaptureOptions& options = *parsed.options;
    if (options.help) {
        std::cout << cli::kCaptureUsage;
        return 0;
    }
    if (options.version) {
        std::cout << "vellumo-capture " << VELLUMO_VERSION << "\n";
        return 0;
    }
    // The toolkit's picture readers are plugins it finds through its application object.
    QCoreApplication application(argc, argv);

    // The shipped settings (picture colours, turn, page size, prefix), not the user's: a script's results
    // do not change with what someone chose in the window.
    const std::string ini_path = platform::JoinPath(platform::DataFolder(), "Vellumo.ini");
    if (options.camera) return cli::RunCameraStill(options, ini_path, std::cout, std::cerr);
    CVellumoSettings settings;
    settings.m_szIniPath = ini_path;
    settings.LoadSettings(platform::CProfileStore(ini_path));
    return cli::RunPictureBatch(
        options, settings, [](const std::string& path) { return cli::ReadPicture(path); }, std::cout,
        std::cerr);
}
