// Ketrowa.dll loaded as other programs load it, asked about fake sysfs trees; its exports and
// dependencies; the example program that ships with it.

#include "probe/ketrowa.h"

#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "probe/camera_match.h"
#include "tests/support/scratch_folder.h"

namespace {

using test_support::ScopedEnv;
using test_support::ScratchFolder;

const std::string kLibrary = std::string(VELLUMO_BIN_DIR) + "/Ketrowa.dll";

std::string Shell(const std::string& command, int* status = nullptr) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    int code = ::pclose(pipe);
    if (status != nullptr) *status = WIFEXITED(code) ? WEXITSTATUS(code) : -1;
    return output;
}

// A sysfs root of our own, named by VELLUMO_SYSFS_ROOT while the object lives.
class SysfsTree {
  public:
    SysfsTree() : env_("VELLUMO_SYSFS_ROOT", folder_.Root()) { folder_.MakeFolder("class/video4linux"); }

    // A USB video node: its class folder links to interface 0 of USB device `instance` (default: one per
    // node).
    void UsbVideo(const std::string& node, const std::string& vendor, const std::string& product,
                  std::string instance = "") {
        if (instance.empty()) instance = "1-" + node.substr(5);
        std::string device = "devices/usb1/" + instance;
        folder_.Write(device + "/idVendor", vendor + "\n");
        folder_.Write(device + "/idProduct", product + "\n");
        folder_.Write(device + "/" + instance + ":1.0/bInterfaceNumber", "00\n");
        Node(node, "0", "../../../" + device + "/" + instance + ":1.0");
    }
    void Node(const std::string& node, const std::string& index, const std::string& device_link) {
        std::string dir = "class/video4linux/" + node;
        folder_.Write(dir + "/index", index + "\n");
        ASSERT_EQ(::symlink(device_link.c_str(), folder_.Path(dir + "/device").c_str()), 0);
    }
    ScratchFolder folder_;

  private:
    ScopedEnv env_;
};

class KetrowaLibrary {
  public:
    KetrowaLibrary() : handle_(::dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~KetrowaLibrary() {
        if (handle_ != nullptr) ::dlclose(handle_);
    }
    int32_t Ask() const {
        auto ketrowa =
            handle_ != nullptr ? reinterpret_cast<KetrowaFn>(::dlsym(handle_, "Ketrowa")) : nullptr;
        EXPECT_NE(ketrowa, nullptr) << ::dlerror();
        return ketrowa != nullptr ? ketrowa() : -1;
    }

  private:
    void* handle_;
};

int OpenFds() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) ++count;
        ::closedir(dir);
    }
    return count;
}

TEST(Ketrowa, ExportsOnlyKetrowaAndLinksNothingOfTheProgram) {
    EXPECT_EQ(Shell("nm -D --defined-only " + kLibrary + " | awk '{print $2, $3}'"), "T Ketrowa\n");
    std::string needed = Shell("ldd " + kLibrary);
    for (const char* wrong : {"not found", VELLUMO_BIN_DIR, "libQt", "libgst"})
        EXPECT_EQ(needed.find(wrong), std::string::npos) << needed;
    // No code of the program's static libraries inside, beyond the device-listing sources it shares:
    // their strong symbols ("p") against the library's own ("k").
    const std::string program =
        "nm -A --defined-only *.a | grep -v -e :sysfs.cpp.o: -e :video_nodes.cpp.o:"
        " | awk '$2 ~ /^[TDBR]$/ {print \"p\", $3}'";
    const std::string library = "nm --defined-only " + kLibrary + " | awk '{print \"k\", $3}'";
    const std::string shared =
        "awk '$1 == \"p\" {p[$2] = 1; n++} $1 == \"k\" && p[$2] {print $2}"
        " END {if (!n) print \"no program libraries to compare with\"}'";
    EXPECT_EQ(Shell("cd " VELLUMO_BIN_DIR "/../lib && { " + program + "; " + library + "; } | " + shared),
              "");
}

TEST(Ketrowa, AnswersWhetherTheCameraIsAmongTheVideoInputs) {
    struct Case {
        const char* what;
        std::vector<std::array<const char*, 3>> usb_nodes;  // node, vendor, product
        int32_t answer;
    };
    const std::vector<Case> cases = {
        {"no video devices at all", {}, 0},
        {"another webcam only", {{"video0", "046d", "0825"}}, 0},
        {"the maker's other product", {{"video0", "eb1a", "2d81"}}, 0},
        {"a webcam, then the camera", {{"video0", "046d", "0825"}, {"video2", "EB1A", "2D80"}}, 1},
        {"two cameras", {{"video0", "eb1a", "2d80"}, {"video10", "eb1a", "2d80"}}, 1},
    };
    KetrowaLibrary library;
    for (const Case& c : cases) {
        SysfsTree tree;
        for (const auto& node : c.usb_nodes) tree.UsbVideo(node[0], node[1], node[2]);
        EXPECT_EQ(library.Ask(), c.answer) << c.what;
    }
    SysfsTree tree;
    tree.UsbVideo("video0", "eb1a", "2d80", "1-" + std::string(240, '7'));  // a path longer than 260 bytes
    EXPECT_EQ(library.Ask(), 1);
    ScopedEnv nowhere("VELLUMO_SYSFS_ROOT", "/nonexistent/sysfs");
    EXPECT_EQ(library.Ask(), 0);
}

TEST(Ketrowa, UnreadableAndMalformedEntriesAnswerNo) {
    SysfsTree tree;
    tree.Node("video0", "0", "../../../devices/usb1/gone/gone:1.0");  // dangling
    tree.Node("video1", "0", "../video1/device");                     // loops onto itself
    tree.UsbVideo("video2", "eb1a", "2d80zz");                        // not a hex number
    tree.UsbVideo("video3", "eb1a", "2d80");
    ::unlink(tree.folder_.Path("devices/usb1/1-3/1-3:1.0/bInterfaceNumber").c_str());  // not a USB interface
    tree.UsbVideo("video4", "eb1a", "2d80");
    ::unlink(tree.folder_.Path("devices/usb1/1-4/idProduct").c_str());
    tree.folder_.MakeFolder("devices/usb1/1-4/idProduct");  // a folder where a number belongs
    tree.folder_.Write("class/video4linux/video5", "a file, not a node folder");
    tree.folder_.MakeFolder("class/video4linux/video");
    EXPECT_EQ(KetrowaLibrary().Ask(), 0);

    ScopedEnv virtual_camera("VELLUMO_VIRTUALCAM", "1");  // the virtual camera is still found among them
    EXPECT_EQ(KetrowaLibrary().Ask(), 1);
    ScopedEnv switched_off("VELLUMO_VIRTUALCAM", "0");
    EXPECT_EQ(KetrowaLibrary().Ask(), 0);
}

TEST(Ketrowa, CaseBlindPlainSubstringOverTheWholePath) {
    using probe::kCameraIdentity;
    using probe::PathNamesCamera;
    EXPECT_TRUE(
        PathNamesCamera("\\\\?\\USB#VID_EB1A&PID_2D80&MI_00#6&1A2B#{65E8773D}\\GLOBAL", kCameraIdentity));
    EXPECT_TRUE(PathNamesCamera("\\\\?\\usb#Vid_Eb1a&Pid_2d80", kCameraIdentity));
    EXPECT_TRUE(PathNamesCamera(std::string(400, '#') + "vid_eb1a&pid_2d80", kCameraIdentity));
    EXPECT_FALSE(PathNamesCamera("\\\\?\\usb#vid_eb1a&pid_2d8#", kCameraIdentity));
    EXPECT_FALSE(PathNamesCamera("\\\\?\\usb#vid_eb1a#pid_2d80", kCameraIdentity));
    EXPECT_FALSE(
        PathNamesCamera("\xC4\xB1vid_eb1a&p\xC4\xB1"
                        "d_2d80",
                        kCameraIdentity));  // no folding beyond ASCII
}

TEST(Ketrowa, LoadedCalledAndUnloadedAThousandTimes) {
    SysfsTree tree;
    tree.UsbVideo("video0", "eb1a", "2d80");
    int fds = OpenFds();
    int answers = 0;
    for (int i = 0; i < 1000; ++i) {
        answers += KetrowaLibrary().Ask();
        ASSERT_EQ(::dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr)
            << "still loaded after cycle " << i;
    }
    EXPECT_EQ(answers, 1000);
    EXPECT_EQ(OpenFds(), fds);
}

TEST(Ketrowa, CallsFromSeveralThreadsAtOnce) {
    SysfsTree tree;
    tree.UsbVideo("video0", "046d", "0825");
    tree.UsbVideo("video1", "eb1a", "2d80");
    KetrowaLibrary library;
    std::atomic<int> answers{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) answers += library.Ask();
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(answers, 400);
}

TEST(Ketrowa, ProbeProgramSaysSoByItsExitStatus) {
    const std::string probe = std::string(VELLUMO_BIN_DIR) + "/ketrowa-probe";
    SysfsTree tree;
    int status = -1;
    EXPECT_EQ(Shell(probe, &status), "0: the camera is not attached\n");
    EXPECT_EQ(status, 1);
    tree.UsbVideo("video0", "eb1a", "2d80");
    EXPECT_EQ(Shell("cd / && " + probe, &status), "1: the camera is attached\n");  // beside it, from anywhere
    EXPECT_EQ(status, 0);

    std::string copy = tree.folder_.Path("ketrowa-probe");  // elsewhere: by name on the search path
    ASSERT_EQ(std::system(("cp " + probe + " " + copy).c_str()), 0);
    EXPECT_EQ(Shell("LD_LIBRARY_PATH=" VELLUMO_BIN_DIR " " + copy, &status), "1: the camera is attached\n");
    EXPECT_EQ(Shell(copy + " 2>/dev/null", &status), "");
    EXPECT_EQ(status, 2);
}

}  // namespace
