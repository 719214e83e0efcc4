// The camera's bridge chip on a real HID node, for the kernel guest: creates a uhid device with the
// shipped camera's USB identity and report descriptor, and answers its feature reports from the virtual
// chip's register model, so the program reaches it through the kernel's hidraw driver.
//   uhid-bridge <wire log file> [vvvv:pppp]
// Every transfer and bus transaction is appended to the log as "<channel> <text>", the lines the program's
// own virtual chip logs, so that the two can be compared byte for byte. Ends on SIGTERM or SIGINT, which
// destroys the device (the camera pulled out).
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "virtualcam/chip/bridge_chip.h"
#include "virtualcam/chip/endpoints.h"
#include "virtualcam/chip/wire_log.h"
#include "virtualcam/identity.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void Stop(int) { g_stop = 1; }

bool Send(int fd, const uhid_event& event) {
    return ::write(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

// Feature report lengths, report ID included, from the descriptor: uhid passes a get request's ID only.
size_t ReportLength(uint8_t id) {
    if (id == virtualcam::kCommandReport) return virtualcam::kCommandPayload + 1;
    if (id == virtualcam::kDataReport) return virtualcam::kDataPayload + 1;
    return 0;
}

class LogFile {
  public:
    explicit LogFile(const char* path) : file_(std::fopen(path, "w")) {}
    ~LogFile() {
        if (file_ != nullptr) std::fclose(file_);
    }
    bool Ok() const { return file_ != nullptr; }
    // Appends what the log gained since the last call.
    void Flush(const virtualcam::WireLog& log) {
        std::vector<virtualcam::WireEvent> events = log.Events();
        for (; written_ < events.size(); ++written_)
            std::fprintf(file_, "%s %s\n", events[written_].channel.c_str(), events[written_].text.c_str());
        std::fflush(file_);
    }

  private:
    std::FILE* file_;
    size_t written_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: uhid-bridge <wire log file> [vvvv:pppp]\n");
        return 2;
    }
    unsigned vendor = virtualcam::kVendorId, product = virtualcam::kProductId;
    if (argc > 2 && std::sscanf(argv[2], "%x:%x", &vendor, &product) != 2) {
        std::fprintf(stderr, "uhid-bridge: identity %s is not vvvv:pppp\n", argv[2]);
        return 2;
    }
    LogFile log_file(argv[1]);
    if (!log_file.Ok()) {
        std::fprintf(stderr, "uhid-bridge: cannot write %s\n", argv[1]);
        return 1;
    }
    int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "uhid-bridge: cannot open /dev/uhid (errno %d)\n", errno);
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = Stop;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);

    virtualcam::WireLog log;
    virtualcam::BridgeChip chip(log);
    virtualcam::HidEndpoint endpoint(chip, log);

    uhid_event create = {};
    create.type = UHID_CREATE2;
    std::snprintf(reinterpret_cast<char*>(create.u.create2.name), sizeof create.u.create2.name,
                  "Vellumo Bridge %04x:%04x", vendor, product);
    std::vector<uint8_t> descriptor = virtualcam::HidEndpoint::ReportDescriptor();
    std::memcpy(create.u.create2.rd_data, descriptor.data(), descriptor.size());
    create.u.create2.rd_size = static_cast<uint16_t>(descriptor.size());
    create.u.create2.bus = 0x03;  // BUS_USB
    create.u.create2.vendor = vendor;
    create.u.create2.product = product;
    if (!Send(fd, create)) {
        std::fprintf(stderr, "uhid-bridge: UHID_CREATE2 failed (errno %d)\n", errno);
        return 1;
    }

    while (g_stop == 0) {
        pollfd wait = {fd, POLLIN, 0};
        if (::poll(&wait, 1, 200) <= 0) continue;
        uhid_event event = {};
        if (::read(fd, &event, sizeof event) <= 0) break;
        uhid_event reply = {};
        switch (event.type) {
            case UHID_START:
                std::fprintf(stderr, "uhid-bridge: started %04x:%04x\n", vendor, product);
                break;
            case UHID_GET_REPORT: {
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = event.u.get_report.id;
                size_t length = ReportLength(event.u.get_report.rnum);
                uint8_t* data = reply.u.get_report_reply.data;
                data[0] = event.u.get_report.rnum;
                bool ok = event.u.get_report.rtype == UHID_FEATURE_REPORT && length > 0 &&
                          endpoint.GetFeature(data, length);
                reply.u.get_report_reply.err = ok ? 0 : EIO;
                reply.u.get_report_reply.size = ok ? static_cast<uint16_t>(length) : 0;
                Send(fd, reply);
                break;
            }
            case UHID_SET_REPORT: {
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = event.u.set_report.id;
                bool ok = event.u.set_report.rtype == UHID_FEATURE_REPORT &&
                          endpoint.SetFeature(event.u.set_report.data, event.u.set_report.size);
                reply.u.set_report_reply.err = ok ? 0 : EIO;
                Send(fd, reply);
                break;
            }
            default:
                break;
        }
        log_file.Flush(log);
    }
    uhid_event destroy = {};
    destroy.type = UHID_DESTROY;
    Send(fd, destroy);
    ::close(fd);
    log_file.Flush(log);
    return 0;
}
