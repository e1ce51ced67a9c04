// ARGB bitmaps: decoding through Qt's image readers (thread-safe, no application object needed)
// and PNG output for tests and tools.
#include "platform/gfx/Bitmap.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstring>

namespace {
// Larger images are refused before their pixels are allocated (a skin image is a few hundred
// pixels wide; a forged header must not make us allocate gigabytes).
constexpr int64_t kMaxPixels = 16LL * 1024 * 1024;
}  // namespace

Bitmap::Bitmap(int width, int height, uint32_t fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * height_, fill) {}

std::unique_ptr<Bitmap> Bitmap::Decode(const void* data, size_t size) {
    if (!data || size == 0 || size > static_cast<size_t>(INT32_MAX)) return nullptr;
    QByteArray bytes = QByteArray::fromRawData(static_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return nullptr;
    QImageReader reader(&buffer);
    const QSize declared = reader.size();
    if (declared.isValid() && static_cast<int64_t>(declared.width()) * declared.height() > kMaxPixels) return nullptr;
    QImage image;
    if (!reader.read(&image) || image.isNull()) return nullptr;
    if (static_cast<int64_t>(image.width()) * image.height() > kMaxPixels) return nullptr;
    image = image.convertToFormat(QImage::Format_ARGB32);
    auto bitmap = std::make_unique<Bitmap>(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(bitmap->pixels_.data() + static_cast<size_t>(y) * image.width(), image.constScanLine(y),
                    static_cast<size_t>(image.width()) * 4);
    }
    return bitmap;
}

bool Bitmap::SavePng(const char* path) const {
    if (!path || width_ == 0 || height_ == 0) return false;
    const QImage image(reinterpret_cast<const uchar*>(pixels_.data()), width_, height_, width_ * 4,
                       QImage::Format_ARGB32);
    return image.save(QString::fromUtf8(path), "PNG");
}
