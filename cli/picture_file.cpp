#include "cli/picture_file.h"

#include <QImage>
#include <QImageReader>
#include <cstring>
#include <new>

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace cli {
namespace {

// The decoders report damage they decode around (a truncated JPEG comes out with grey rows) only as
// toolkit warnings; such a picture is partly made up and is refused.
std::string g_decoder_warning;

void NoteDecoderWarning(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg && g_decoder_warning.empty())
        g_decoder_warning = message.toStdString();
}

// While it lives, the decoders' warnings are noted instead of printed: the user gets one line a picture.
class DecoderWarnings {
  public:
    DecoderWarnings() : previous_(qInstallMessageHandler(NoteDecoderWarning)) { g_decoder_warning.clear(); }
    ~DecoderWarnings() { qInstallMessageHandler(previous_); }
    DecoderWarnings(const DecoderWarnings&) = delete;
    DecoderWarnings& operator=(const DecoderWarnings&) = delete;

  private:
    QtMessageHandler previous_;
};

// Decodes; null when it failed or warned.
QImage ReadStrictly(QImageReader& reader, const std::string& path) {
    g_decoder_warning.clear();
    QImage image = reader.read();
    if (image.isNull() || !g_decoder_warning.empty()) {
        platform::DebugLog("cli", "%s: %s %s", path.c_str(), reader.errorString().toUtf8().constData(),
                           g_decoder_warning.c_str());
        return {};
    }
    return image;
}

}  // namespace

PictureOrError ReadPicture(const std::string& path, uint64_t max_pixels) {
    const DecoderWarnings warnings;
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid()) {
        platform::DebugLog("cli", "%s: %s", path.c_str(), reader.errorString().toUtf8().constData());
        if (const auto attributes = platform::GetFileAttributes(path); attributes && attributes->is_directory)
            return {std::nullopt, "a folder, not a picture (name the pictures in it, as " +
                                      platform::JoinPath(path, "*.jpg") + ")"};
        return {std::nullopt, reader.error() == QImageReader::FileNotFoundError
                                  ? "no such picture"
                                  : "not a picture this program reads"};
    }
    const uint64_t pixels = static_cast<uint64_t>(size.width()) * static_cast<uint64_t>(size.height());
    if (pixels > max_pixels)
        return {std::nullopt, "too large (" + std::to_string(size.width()) + " x " +
                                  std::to_string(size.height()) + " pixels; at most " +
                                  std::to_string(max_pixels / 1000000) + " million)"};
    // Our own bound applies; the toolkit's default one is lower than it.
    QImageReader::setAllocationLimit(1024);
    try {
        QImage image = ReadStrictly(reader, path);
        if (image.isNull()) return {std::nullopt, "damaged or incomplete picture"};
        image = image.convertToFormat(QImage::Format_BGR888);
        if (image.isNull()) return {std::nullopt, "too large for memory"};
        Picture picture;
        picture.width = image.width();
        picture.height = image.height();
        const size_t row = static_cast<size_t>(picture.width) * 3;
        const size_t stride = (row + 3) / 4 * 4;
        picture.bytes.assign(stride * static_cast<size_t>(picture.height), 0);
        for (int y = 0; y < picture.height; ++y)
            std::memcpy(picture.bytes.data() + stride * static_cast<size_t>(picture.height - 1 - y),
                        image.constScanLine(y), row);
        return {std::move(picture), {}};
    } catch (const std::bad_alloc&) {
        return {std::nullopt, "too large for memory"};
    }
}

}  // namespace cli
