#pragma once
// The environment for a run of the whole program kept inside one scratch folder: its own home, documents,
// desktop, locks and registries, and the script it follows, so the machine's own Vellumo is never touched.

#include <QProcessEnvironment>
#include <QString>
#include <string>

#include "tests/support/scratch_folder.h"

namespace test_support {

inline QProcessEnvironment ProgramEnvironment(const ScratchFolder& dir, const std::string& script_path) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    auto set = [&](const char* name, const std::string& value) {
        env.insert(name, QString::fromStdString(value));
    };
    set("QT_QPA_PLATFORM", "offscreen");
    set("HOME", dir.Path("home"));
    set("XDG_CONFIG_HOME", dir.Path("home/.config"));
    set("VELLUMO_COMMON_DOCUMENTS", dir.Path("common"));
    set("VELLUMO_USER_DOCUMENTS", dir.Path("home/Documents"));
    set("VELLUMO_DESKTOP", dir.Path("home/Desktop"));
    set("VELLUMO_LOCK_DIR", dir.Path("lock"));
    set("VELLUMO_REGISTRY_USER", dir.Path("home/registry.ini"));
    set("VELLUMO_REGISTRY_MACHINE", dir.Path("machine-registry.ini"));
    set("VELLUMO_SCRIPT", script_path);
    return env;
}

}  // namespace test_support
