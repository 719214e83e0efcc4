#include "support.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace outside_test {

platform::DibImage MakePicture(Kind kind, int width, int height, int dpi) {
    uint16_t bits = kind == Kind::Colour ? 24 : kind == Kind::Grey ? 8 : 1;
    platform::DibImage image = *platform::MakeDibImage(width, height, bits);
    int32_t ppm = dpi > 0 ? static_cast<int32_t>(dpi / 0.0254 + 0.5) : 0;
    image.x_pixels_per_meter = ppm;
    image.y_pixels_per_meter = ppm;
    size_t stride = image.pixels.size() / static_cast<size_t>(height);
    for (int top_y = 0; top_y < height; ++top_y) {
        uint8_t* row = image.pixels.data() + static_cast<size_t>(height - 1 - top_y) * stride;
        for (int x = 0; x < width; ++x) {
            if (kind == Kind::BlackWhite) {
                bool black = top_y < height / 8 || ((x / 8 + top_y / 8) % 2 == 0);
                if (!black) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));  // index 1 = white
                continue;
            }
            int r = 40 + 180 * x / width, g = 60 + 150 * top_y / height, b = 200 - 120 * x / width;
            if (x < width / 4 && top_y < height / 4) r = 230, g = 30, b = 30;
            if (top_y > height * 7 / 8) r = g = b = 20;
            if (kind == Kind::Grey) {
                row[x] = static_cast<uint8_t>((r + g + b) / 3);
            } else {
                row[3 * x] = static_cast<uint8_t>(b);
                row[3 * x + 1] = static_cast<uint8_t>(g);
                row[3 * x + 2] = static_cast<uint8_t>(r);
            }
        }
    }
    return image;
}

Rgb PixelOf(const platform::DibImage& image, int x, int top_y) {
    size_t stride = image.pixels.size() / static_cast<size_t>(image.height);
    const uint8_t* row = image.pixels.data() + static_cast<size_t>(image.height - 1 - top_y) * stride;
    uint32_t index = 0;
    switch (image.bits_per_pixel) {
        case 24:
            return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
        case 8:
            index = row[x];
            break;
        default:
            index = (row[x / 8] >> (7 - x % 8)) & 1u;
            break;
    }
    uint32_t rgb = image.palette.at(index);
    return {static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
            static_cast<int>(rgb & 0xFF)};
}

bool WriteBmp(const std::string& path, const platform::DibImage& image) {
    auto bytes = platform::EncodeBmp(image);
    return bytes && WriteText(path, *bytes);
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Shell(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status != nullptr) *status = -1;
        return output;
    }
    std::array<char, 65536> buffer;
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
    int result = ::pclose(pipe);
    if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

Rgb Pnm::At(int x, int y) const {
    size_t i = (static_cast<size_t>(y) * width + x) * channels;
    if (channels == 1) return {pixels[i], pixels[i], pixels[i]};
    return {pixels[i], pixels[i + 1], pixels[i + 2]};
}

bool ReadPnm(const std::string& bytes, Pnm* out) {
    std::istringstream in(bytes);
    std::string magic;
    in >> magic;
    int max_value = 1;
    auto skip_comments = [&] {
        in >> std::ws;
        while (in.peek() == '#') {
            std::string line;
            std::getline(in, line);
            in >> std::ws;
        }
    };
    skip_comments();
    in >> out->width;
    skip_comments();
    in >> out->height;
    if (magic != "P4") {
        skip_comments();
        in >> max_value;
    }
    in.get();
    if (!in || out->width <= 0 || out->height <= 0 || max_value != (magic == "P4" ? 1 : 255)) return false;
    size_t count = static_cast<size_t>(out->width) * out->height;
    if (magic == "P4") {
        out->channels = 1;
        size_t row_bytes = (static_cast<size_t>(out->width) + 7) / 8;
        std::string packed(row_bytes * out->height, '\0');
        if (!in.read(packed.data(), static_cast<std::streamsize>(packed.size()))) return false;
        out->pixels.resize(count);
        for (int y = 0; y < out->height; ++y)
            for (int x = 0; x < out->width; ++x) {
                bool black = (static_cast<uint8_t>(packed[y * row_bytes + x / 8]) >> (7 - x % 8)) & 1u;
                out->pixels[static_cast<size_t>(y) * out->width + x] = black ? 0 : 255;
            }
        return true;
    }
    out->channels = magic == "P6" ? 3 : magic == "P5" ? 1 : 0;
    if (out->channels == 0) return false;
    out->pixels.resize(count * out->channels);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(out->pixels.data()),
                                     static_cast<std::streamsize>(out->pixels.size())));
}

Difference Compare(const Pnm& decoded, const platform::DibImage& source) {
    Difference d;
    if (decoded.width != source.width || decoded.height != source.height) {
        d.mean = 1e9;
        d.largest = 255;
        return d;
    }
    double sum = 0;
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x) {
            Rgb a = decoded.At(x, y), b = PixelOf(source, x, y);
            for (int diff : {std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)}) {
                sum += diff;
                d.largest = std::max(d.largest, diff);
            }
        }
    d.mean = sum / (3.0 * source.width * source.height);
    return d;
}

}  // namespace outside_test
