// Hands-free capture against its goals:
//  1. the live outline on 640x480 preview frames handed in at 30 a second: outlines reported a second and
//     the CPU the watch adds (the share of one core this whole process uses; the feeder only hands frames
//     on);
//  2. from a page lying still to the decision to take it, pages put down one after another at 30 frames a
//     second: the delay past the still time;
//  3. the real program on the virtual camera's page stack: auto-capture on, a gathered PDF, N pages
//     turned by script (20 by default), the written PDF's pages told apart by their print: captured,
//     twice, missed, out of order; and for each page the time from its lying still (the end of the turn)
//     to the capture's start, to the grab request, to the frame taken, to the capture written and to the
//     capture's end as the script sees it; and the capture worker's own times of its steps.
// Usage: build/bin/bench_handsfree [pages] [capture size: 0 640x480, 1 2048x1536, 2 2592x1944]
// (defaults 20 and 2, the program's default capture size; the program is found beside it; needs
// pdfimages). HANDSFREE_BENCH_LOG=file keeps the program's debug log, each line with its time in ms.

#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <mutex>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/autocapture/page_watch_worker.h"
#include "tests/support/preview_frames.h"
#include "virtualcam/scenes/page_stack.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::shared_ptr<const platform::PreviewFrame> Frame(const cv::Mat& bgr, uint64_t sequence) {
    return test_support::PreviewFrameOf(bgr, sequence);
}

// Frames handed in at 30 a second for 10 s, cycling through `frames`.
void OutlineRate(const char* what, const std::vector<std::shared_ptr<const platform::PreviewFrame>>& frames) {
    std::atomic<int> reports{0};
    pipeline::PageWatchWorker worker([&](const pipeline::WatchReport&) { ++reports; });
    worker.SetActive(true);
    const auto seconds = std::chrono::seconds(10);
    const double cpu_start = CpuSeconds();
    const auto start = Clock::now();
    uint64_t sequence = 0;
    for (auto next = start; next - start < seconds; next += std::chrono::microseconds(33333)) {
        std::this_thread::sleep_until(next);
        worker.Submit(frames[sequence % frames.size()]);
        ++sequence;
    }
    const double wall = Ms(Clock::now() - start) / 1000;
    const double cpu = CpuSeconds() - cpu_start;
    std::printf(
        "outline at 640x480, %s: %llu frames handed in, %.1f outlines a second (goal >= 10), %llu dropped, "
        "detector run on %llu, CPU %.1f%% of a core (goal <= 10%%)\n",
        what, static_cast<unsigned long long>(sequence), reports.load() / wall,
        static_cast<unsigned long long>(worker.Dropped()), static_cast<unsigned long long>(worker.Detected()),
        100.0 * cpu / wall);
}

void OutlineRates() {
    const cv::Size size(640, 480);
    const cv::Mat page = virtualcam::RenderStackScene(3, size).picture;
    // The same picture again and again, as the virtual camera sends a page lying still.
    OutlineRate("the same frame", {Frame(page, 0)});
    // A page lying still under a real sensor's noise (a few grey levels, new in every frame).
    std::vector<std::shared_ptr<const platform::PreviewFrame>> noisy;
    cv::RNG rng(1);
    for (int i = 0; i < 8; ++i) {
        cv::Mat noise(size, CV_16SC3), frame;
        rng.fill(noise, cv::RNG::NORMAL, 0, 2);
        page.convertTo(frame, CV_16SC3);
        frame += noise;
        frame.convertTo(frame, CV_8UC3);
        noisy.push_back(Frame(frame, 0));
    }
    OutlineRate("a still page with sensor noise", noisy);
    // Every frame different: page turns with the hand passing, one after another.
    std::vector<std::shared_ptr<const platform::PreviewFrame>> turning;
    const cv::Mat next = virtualcam::RenderStackScene(4, size).picture;
    for (int i = 0; i < 36; ++i) {
        const double phase = (i + 0.5) / 36;
        cv::Mat frame = (phase < 0.5 ? page : next).clone();
        virtualcam::DrawTurningHand(frame, phase);
        turning.push_back(Frame(frame, 0));
    }
    OutlineRate("pages turning by hand", turning);
}

void StillToDecision() {
    const cv::Size size(640, 480);
    constexpr int kStillMs = 800;
    std::mutex mutex;
    std::condition_variable signal;
    std::optional<Clock::time_point> decided;
    std::optional<pipeline::PageThumbnail> decided_page;
    uint64_t taken = 0;
    pipeline::PageWatchWorker worker(
        [&](const pipeline::WatchReport& report) {
            std::lock_guard lock(mutex);
            if (report.state == pipeline::WatchState::CaptureNow && report.taken == taken && !decided) {
                decided = Clock::now();
                decided_page = report.page;
                signal.notify_all();
            }
        },
        pipeline::PageWatchSettings{kStillMs});
    worker.SetActive(true);
    std::vector<double> delays;
    uint64_t sequence = 0;
    const auto frame_time = std::chrono::microseconds(33333);
    for (int page = 0; page < 8; ++page) {
        // The new page put down at once: it lies still from its first frame, so the decision's delay past
        // the still time is the watch's own (the scripted run below has the hand passing over).
        const cv::Mat to = virtualcam::RenderStackScene(page, size).picture;
        const auto still = Frame(to, 0);
        const auto lying = Clock::now();
        bool got = false;
        for (auto next = lying; Clock::now() - lying < std::chrono::seconds(10); next += frame_time) {
            std::this_thread::sleep_until(next);
            auto frame = std::make_shared<platform::PreviewFrame>(*still);
            frame->sequence = ++sequence;
            worker.Submit(frame);
            std::lock_guard lock(mutex);
            if (decided) {
                delays.push_back(Ms(*decided - lying) - kStillMs);
                got = true;
                break;
            }
        }
        if (!got) std::printf("  page %d was never decided on\n", page + 1);
        std::lock_guard lock(mutex);
        if (decided_page)
            worker.Taken(*decided_page);
        else
            worker.Taken();
        ++taken;
        decided.reset();
        decided_page.reset();
    }
    std::sort(delays.begin(), delays.end());
    if (!delays.empty())
        std::printf(
            "still to decision (still time %d ms): %zu pages, past the still time median %.0f ms, max %.0f "
            "ms "
            "(the capture must fit in the rest of 300 ms)\n",
            kStillMs, delays.size(), delays[delays.size() / 2], delays.back());
}

void ScriptedRun(int pages, int size_choice) {
    static const cv::Size kSizes[] = {{640, 480}, {2048, 1536}, {2592, 1944}};
    const cv::Size capture = kSizes[size_choice];
    QTemporaryDir dir;
    auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
    for (const char* folder : {"common", "home/Documents", "lock", "tmp", "pages"})
        QDir().mkpath(dir.filePath(folder));
    std::string script =
        "await live 20000\ncommand " + std::to_string(833 + size_choice) + "\ncommand 1132\ncommand 808\n";
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) script += "camera next\n";
        script += "await captured:" + std::to_string(page) + " 60000\n";
    }
    script += "press 1001 60000\nawait ready 120000\nanswer Cancel\nclose\n";
    {
        FILE* file = std::fopen(path("script.txt").c_str(), "w");
        std::fputs(script.c_str(), file);
        std::fclose(file);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const std::map<std::string, std::string> values = {
        {"QT_QPA_PLATFORM", "offscreen"},
        {"HOME", path("home")},
        {"XDG_CONFIG_HOME", path("home/.config")},
        {"XDG_RUNTIME_DIR", path("tmp")},
        {"VELLUMO_COMMON_DOCUMENTS", path("common")},
        {"VELLUMO_USER_DOCUMENTS", path("home/Documents")},
        {"VELLUMO_DESKTOP", path("home/Desktop")},
        {"VELLUMO_LOCK_DIR", path("lock")},
        {"VELLUMO_REGISTRY_USER", path("home/registry.ini")},
        {"VELLUMO_REGISTRY_MACHINE", path("machine-registry.ini")},
        {"VELLUMO_SCRIPT", path("script.txt")},
        {"VELLUMO_VIRTUALCAM", "1"},
        {"VELLUMO_VIRTUALCAM_SCENE", "stack"},
        {"VELLUMO_DEBUG", "1"}};
    for (const auto& [name, value] : values)
        env.insert(QString::fromStdString(name), QString::fromStdString(value));
    QProcess process;
    process.setProcessEnvironment(env);
    const std::string program = QCoreApplication::applicationDirPath().toStdString() + "/Vellumo";
    const auto start = Clock::now();
    process.start(QString::fromStdString(program), {});
    if (!process.waitForStarted(10000)) {
        std::printf("scripted run: %s did not start\n", program.c_str());
        return;
    }
    // Each line of the log with the time it came.
    std::vector<std::pair<double, std::string>> lines;
    QByteArray pending;
    while (process.state() != QProcess::NotRunning && Clock::now() - start < std::chrono::minutes(20)) {
        process.waitForReadyRead(50);
        pending += process.readAllStandardError();
        for (int end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
            lines.emplace_back(Ms(Clock::now() - start), pending.left(end).toStdString());
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        std::printf("scripted run: the program did not end within 20 minutes\n");
    }
    process.waitForFinished();
    const double total_s = Ms(Clock::now() - start) / 1000;
    // The program's debug log with the time each line came, when asked for.
    if (const char* log_path = std::getenv("HANDSFREE_BENCH_LOG")) {
        if (FILE* log = std::fopen(log_path, "w")) {
            for (const auto& [at, line] : lines) std::fprintf(log, "%9.0f %s\n", at, line.c_str());
            std::fclose(log);
        }
    }

    // Lying still: the end of each turn as the camera drew it (the first page lies there from the start, so
    // it is left out).
    // From there, each page's steps: the trigger, the grab request, the frame taken, the capture's end.
    // The frame is asked for by a grab request, or is the one kept from the decision: its line is then
    // both the request and the frame taken.
    const std::vector<std::vector<const char*>> kSteps = {{"[handsfree] taking page"},
                                                          {"[capture] grab requested", "[capture] frame of"},
                                                          {"[capture] frame of"},
                                                          {"[capture] capture written"},
                                                          {"SCRIPT await captured:"}};
    // The capture worker's own times of its steps, from the frame taken on ("name N, name N").
    std::map<std::string, std::vector<double>> worker_steps;
    std::vector<std::string> step_order;
    const size_t kStepCount = kSteps.size();
    std::vector<std::vector<double>> steps(kStepCount);
    int switched = 0, kept = 0;
    double lying = -1;
    size_t next_step = 0;
    for (const auto& [at, line] : lines) {
        // The turn begins once the camera has drawn the next page.
        if (line.rfind("[virtualcam] page turn", 0) == 0) {
            lying = at + 1200;
            next_step = 0;
        }
        if (lying < 0) continue;
        if (line.rfind("[capture] grab requested", 0) == 0 && line.find("switch") != std::string::npos)
            ++switched;
        if (line.rfind("[capture] frame of", 0) == 0 && line.find("seen still") != std::string::npos) ++kept;
        if (const size_t list = line.find("(ms: ");
            line.rfind("[capture] capture written", 0) == 0 && list != std::string::npos) {
            std::string rest = line.substr(list + 5, line.size() - list - 6);
            for (size_t start = 0; start < rest.size();) {
                size_t end = rest.find(", ", start);
                if (end == std::string::npos) end = rest.size();
                const std::string item = rest.substr(start, end - start);
                const size_t space = item.find_last_of(' ');
                if (space != std::string::npos) {
                    const std::string name = item.substr(0, space);
                    if (!worker_steps.count(name)) step_order.push_back(name);
                    worker_steps[name].push_back(std::atof(item.c_str() + space + 1));
                }
                start = end + 2;
            }
        }
        auto matches = [&](size_t step) {
            for (const char* prefix : kSteps[step])
                if (line.rfind(prefix, 0) == 0) return true;
            return false;
        };
        while (lying >= 0 && next_step < kStepCount && matches(next_step)) {
            steps[next_step].push_back(at - lying);
            if (++next_step == kStepCount) lying = -1;
        }
    }
    const QDir saved(dir.filePath("home/Desktop/Vellumo"));
    const QStringList pdfs = saved.entryList({"*.pdf"}, QDir::Files);
    int timed_out = 0;
    for (const auto& entry : lines) timed_out += entry.second.find("TIMED OUT") != std::string::npos;
    std::vector<int> letters;
    if (pdfs.size() == 1) {
        QProcess images;
        images.start("pdfimages", {"-png", saved.filePath(pdfs[0]), dir.filePath("pages/p")});
        images.waitForFinished(300000);
        const QDir found(dir.filePath("pages"));
        for (const QString& name : found.entryList({"p-*.png"}, QDir::Files, QDir::Name)) {
            QImage image = QImage(found.filePath(name)).convertToFormat(QImage::Format_BGR888);
            const cv::Mat mat(image.height(), image.width(), CV_8UC3, image.bits(), image.bytesPerLine());
            letters.push_back(virtualcam::MatchStackPage(mat.clone(), capture).page + 1);
        }
    }
    std::vector<int> seen(static_cast<size_t>(pages) + 1, 0);
    int unknown = 0, out_of_order = 0;
    for (size_t i = 0; i < letters.size(); ++i) {
        if (letters[i] < 1 || letters[i] > pages)
            ++unknown;
        else
            ++seen[static_cast<size_t>(letters[i])];
        if (letters[i] != static_cast<int>(i) + 1) ++out_of_order;
    }
    int twice = 0, missed = 0;
    for (int page = 1; page <= pages; ++page) {
        twice += seen[static_cast<size_t>(page)] > 1 ? seen[static_cast<size_t>(page)] - 1 : 0;
        missed += seen[static_cast<size_t>(page)] == 0;
    }
    std::printf(
        "scripted run of %d pages captured at %dx%d: %zu PDF(s), %zu pages in it, %d twice, %d missed, %d "
        "not told, %d out of "
        "place, %d waits timed out, %.0f s in all\n",
        pages, capture.width, capture.height, static_cast<size_t>(pdfs.size()), letters.size(), twice, missed,
        unknown, out_of_order, timed_out, total_s);
    auto report = [](const char* what, std::vector<double> values) {
        if (values.empty()) return;
        std::sort(values.begin(), values.end());
        std::printf("  lying still to %s: median %.0f ms, max %.0f ms over %zu pages\n", what,
                    values[values.size() / 2], values.back(), values.size());
    };
    report("the capture's start", steps[0]);
    report("the grab request", steps[1]);
    report("the frame taken", steps[2]);
    report("the capture written", steps[3]);
    report("the capture's end (seen every 50 ms)", steps[4]);
    for (const std::string& name : step_order) {
        std::vector<double> values = worker_steps[name];
        std::sort(values.begin(), values.end());
        std::printf("    capture step \"%s\": median %.0f ms, max %.0f ms\n", name.c_str(),
                    values[values.size() / 2], values.back());
    }
    std::printf(
        "  grabs after a switch of sizes: %d; pages taken from the frame they were seen still in: %d\n",
        switched, kept);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int pages =
        argc > 1 ? std::clamp(std::atoi(argv[1]), 1, virtualcam::kStackPages) : virtualcam::kStackPages;
    const int size_choice = argc > 2 ? std::clamp(std::atoi(argv[2]), 0, 2) : 2;
    OutlineRates();
    StillToDecision();
    ScriptedRun(pages, size_choice);
    return 0;
}
