#include "virtualcam/picture/virtual_picture.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "platform/debuglog/debuglog.h"
#include "virtualcam/scenes/page_stack.h"

namespace virtualcam {
namespace {

using platform::kControlFlagsAuto;
using platform::kControlFlagsManual;

const platform::VideoFormat kFormats[] = {
    {platform::kFourccYuy2, 640, 480, 16, 1, 30},
    {platform::kFourccYuy2, 2048, 1536, 16, 1, 4},
    {platform::kFourccYuy2, 2592, 1944, 16, 1, 5},
};

// Blur of each focus step, as a fraction of the picture width.
constexpr double kBlurSigma[4] = {0, 0.0012, 0.0028, 0.0060};

uint8_t Clamp(double value) { return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

std::string Flags(long flags) { return flags == kControlFlagsAuto ? "auto" : "manual"; }

}  // namespace

void BgrToYuy2(const uint8_t* bgr, int width, int height, size_t stride, std::vector<uint8_t>& out) {
    out.resize(static_cast<size_t>(width) * height * 2);
    // Fixed point, coefficients scaled by 256 (a page turn converts every frame at full size); the chroma
    // of a pair from the pair's sums, hence the extra halving.
    auto clamp = [](int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); };
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = bgr + stride * y;
        uint8_t* dst = out.data() + static_cast<size_t>(y) * width * 2;
        for (int x = 0; x + 1 < width; x += 2, p += 6, dst += 4) {
            const int b = p[0] + p[3], g = p[1] + p[4], r = p[2] + p[5];
            dst[0] = clamp(16 + ((66 * p[2] + 129 * p[1] + 25 * p[0] + 128) >> 8));
            dst[1] = clamp(128 + ((-38 * r - 74 * g + 112 * b + 256) >> 9));
            dst[2] = clamp(16 + ((66 * p[5] + 129 * p[4] + 25 * p[3] + 128) >> 8));
            dst[3] = clamp(128 + ((112 * r - 94 * g - 18 * b + 256) >> 9));
        }
    }
}

VirtualPicture::VirtualPicture(BridgeChip& chip, SceneChoice scene)
    : chip_(chip), scene_(scene), format_(kFormats[0]) {}

std::vector<platform::VideoFormat> VirtualPicture::Capabilities() {
    return {std::begin(kFormats), std::end(kFormats)};
}

bool VirtualPicture::SetFormat(const platform::VideoFormat& format) {
    for (const platform::VideoFormat& offered : kFormats) {
        if (offered.fourcc != format.fourcc || offered.width != format.width ||
            offered.height != format.height || offered.bit_count != format.bit_count)
            continue;
        std::lock_guard<std::mutex> lock(mutex_);
        format_ = offered;
        log_.push_back("format " + std::to_string(offered.width) + "x" + std::to_string(offered.height));
        return true;
    }
    return false;
}

std::optional<platform::VideoFormat> VirtualPicture::GetFormat() {
    std::lock_guard<std::mutex> lock(mutex_);
    return format_;
}

int32_t VirtualPicture::GetRange(platform::VideoProcProperty property, platform::ControlRange* range) {
    switch (property) {
        case platform::VideoProcProperty::Brightness:
            *range = {0, 255, 1, 128, kControlFlagsManual};
            break;
        case platform::VideoProcProperty::Contrast:
            *range = {0, 31, 1, 16, kControlFlagsManual};
            break;
        case platform::VideoProcProperty::BacklightCompensation:
            *range = {0, 1, 1, 0, kControlFlagsManual};
            break;
    }
    return platform::S_OK;
}

int32_t VirtualPicture::Set(platform::VideoProcProperty property, long value, long flags) {
    platform::ControlRange range;
    GetRange(property, &range);
    if (value < range.min || value > range.max || flags != kControlFlagsManual) return platform::E_FAIL;
    std::lock_guard<std::mutex> lock(mutex_);
    const char* name = property == platform::VideoProcProperty::Brightness ? "brightness"
                       : property == platform::VideoProcProperty::Contrast ? "contrast"
                                                                           : "backlight";
    Control& control = property == platform::VideoProcProperty::Brightness ? brightness_
                       : property == platform::VideoProcProperty::Contrast ? contrast_
                                                                           : backlight_;
    control = Control{value, flags};
    log_.push_back(std::string(name) + " " + std::to_string(value) + " " + Flags(flags));
    return platform::S_OK;
}

int32_t VirtualPicture::Get(platform::VideoProcProperty property, long* value, long* flags) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Control& control = property == platform::VideoProcProperty::Brightness ? brightness_
                             : property == platform::VideoProcProperty::Contrast ? contrast_
                                                                                 : backlight_;
    *value = control.value;
    *flags = control.flags;
    return platform::S_OK;
}

int32_t VirtualPicture::GetRange(platform::CameraControlProperty property, platform::ControlRange* range) {
    switch (property) {
        case platform::CameraControlProperty::Focus:
            *range = {0, 150, 1, kSharpFocus, kControlFlagsAuto | kControlFlagsManual};
            return platform::S_OK;
        case platform::CameraControlProperty::Iris:
            *range = {0, kIrisMax, 1, 50, kControlFlagsAuto | kControlFlagsManual};
            return platform::S_OK;
        default:
            return platform::E_FAIL;
    }
}

int32_t VirtualPicture::Set(platform::CameraControlProperty property, long value, long flags) {
    platform::ControlRange range;
    if (GetRange(property, &range) != platform::S_OK) return platform::E_FAIL;
    if (flags != kControlFlagsAuto && (value < range.min || value > range.max)) return platform::E_FAIL;
    std::lock_guard<std::mutex> lock(mutex_);
    Control& control = property == platform::CameraControlProperty::Focus ? focus_ : iris_;
    control.flags = flags == kControlFlagsAuto ? kControlFlagsAuto : kControlFlagsManual;
    // Automatic focus settles on the sharp position; automatic exposure on the middle.
    control.value = flags == kControlFlagsAuto ? range.default_value : value;
    log_.push_back(std::string(property == platform::CameraControlProperty::Focus ? "focus " : "iris ") +
                   (flags == kControlFlagsAuto ? std::string("auto") : std::to_string(value) + " manual"));
    return platform::S_OK;
}

int32_t VirtualPicture::Get(platform::CameraControlProperty property, long* value, long* flags) {
    if (property != platform::CameraControlProperty::Focus &&
        property != platform::CameraControlProperty::Iris)
        return platform::E_FAIL;
    std::lock_guard<std::mutex> lock(mutex_);
    const Control& control = property == platform::CameraControlProperty::Focus ? focus_ : iris_;
    *value = control.value;
    *flags = control.flags;
    return platform::S_OK;
}

int VirtualPicture::BlurLevel() const {
    if (focus_.flags == kControlFlagsAuto) return 0;
    return static_cast<int>(std::min(3L, std::labs(focus_.value - kSharpFocus) / 20));
}

const std::vector<uint8_t>& VirtualPicture::Base(int width, int height, int blur_level) {
    auto& levels = bases_[{width, height}];
    std::vector<uint8_t>& base = levels[blur_level];
    if (!base.empty()) return base;
    Scene scene = RenderDocumentScene(scene_, cv::Size(width, height));
    cv::Mat picture = scene.picture;
    if (blur_level > 0) {
        cv::Mat blurred;
        cv::GaussianBlur(picture, blurred, cv::Size(0, 0), kBlurSigma[blur_level] * width);
        picture = blurred;
    }
    BgrToYuy2(picture.data, width, height, picture.step, base);
    return base;
}

bool VirtualPicture::RenderFrame(const FrameRoom& room) {
    // The sensor's registers are read outside our lock: the chip has its own.
    const bool flip = chip_.SensorFlipsVertically();
    const bool mirror = chip_.SensorMirrorsHorizontally();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!plugged_) return false;
    const int width = format_.width;
    const int height = format_.height;
    const std::vector<uint8_t>* base_frame = &Base(width, height, BlurLevel());
    if (turn_start_) {
        const double phase = std::chrono::duration<double>(std::chrono::steady_clock::now() - *turn_start_) /
                             std::chrono::duration<double>(kPageTurn);
        if (phase >= 1.0 || turn_to_.cols != width || turn_to_.rows != height) {
            turn_start_.reset();
            turn_from_.release();
            turn_to_.release();
            turn_picture_.release();
            turn_yuy2_ = {};
        } else {
            (phase < 0.5 ? turn_from_ : turn_to_).copyTo(turn_picture_);
            DrawTurningHand(turn_picture_, phase);
            BgrToYuy2(turn_picture_.data, width, height, turn_picture_.step, turn_yuy2_);
            base_frame = &turn_yuy2_;
        }
    }
    const std::vector<uint8_t>& base = *base_frame;

    // Brightness moves the level, contrast scales around the middle, exposure acts like more or less light.
    std::array<uint8_t, 256> luma{};
    const double gain = contrast_.value / 16.0 * (1.0 + (iris_.value - 50) / 100.0);
    const double offset = (brightness_.value - 128) * 0.6;
    for (int i = 0; i < 256; ++i) luma[i] = Clamp((i - 128) * gain + 128 + offset);

    uint8_t* const out = room(format_);
    if (out == nullptr) return true;
    const size_t row_bytes = static_cast<size_t>(width) * 2;
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = base.data() + row_bytes * (flip ? height - 1 - y : y);
        uint8_t* dst = out + row_bytes * y;
        if (!mirror) {
            for (size_t i = 0; i < row_bytes; i += 2) {
                dst[i] = luma[src[i]];
                dst[i + 1] = src[i + 1];
            }
            continue;
        }
        // Mirrored: pixel pairs in reverse order, the two lumas of a pair swapped.
        for (size_t pair = 0; pair < row_bytes / 4; ++pair) {
            const uint8_t* s = src + row_bytes - 4 * (pair + 1);
            uint8_t* d = dst + 4 * pair;
            d[0] = luma[s[2]];
            d[1] = s[1];
            d[2] = luma[s[0]];
            d[3] = s[3];
        }
    }
    return true;
}

void VirtualPicture::NextPicture() {
    SceneChoice scene;
    cv::Size size;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        scene = scene_;
        size = cv::Size(format_.width, format_.height);
    }
    if (scene.kind == SceneChoice::Kind::Stack) {
        // The turn is drawn over plain renders of both pages, made before the lock is taken: at the large
        // sizes they take a while, and the stream goes on showing the page lying there meanwhile, as a
        // real camera would. The new page's plain frame is made here too, so no frame waits for it.
        cv::Mat from;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (lying_.size() == size) from = lying_;
        }
        if (from.empty()) from = RenderStackScene(scene.picture, size).picture;
        cv::Mat to = RenderStackScene(scene.picture + 1, size).picture;
        std::vector<uint8_t> to_base;
        BgrToYuy2(to.data, size.width, size.height, to.step, to_base);
        std::lock_guard<std::mutex> lock(mutex_);
        // A turn asked for during one ends it first.
        turn_from_ = std::move(from);
        turn_to_ = to;
        lying_ = std::move(to);  // never drawn on: the turn draws on a copy
        turn_start_ = std::chrono::steady_clock::now();
        platform::DebugLog("virtualcam", "page turn to page %d begins", scene.picture + 2);
        ++scene_.picture;
        bases_.clear();
        bases_[{size.width, size.height}][0] = std::move(to_base);
        return;
    }
    if (scene.kind != SceneChoice::Kind::File) return;
    std::lock_guard<std::mutex> lock(mutex_);
    ++scene_.picture;
    bases_.clear();
}

bool VirtualPicture::Turning() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return turn_start_ && std::chrono::steady_clock::now() - *turn_start_ < kPageTurn;
}

void VirtualPicture::SetPlugged(bool plugged) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (plugged && !plugged_) {
        brightness_ = Control{128};
        contrast_ = Control{16};
        backlight_ = Control{0};
        focus_ = Control{kSharpFocus, platform::kControlFlagsAuto};
        iris_ = Control{50, platform::kControlFlagsAuto};
        log_.push_back("power-up");
    }
    plugged_ = plugged;
}

std::vector<std::string> VirtualPicture::ControlLog() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

void VirtualPicture::ClearControlLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

}  // namespace virtualcam
