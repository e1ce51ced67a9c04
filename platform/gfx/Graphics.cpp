// Graphics over QPainter: the target's pixels are wrapped (not copied) in a QImage for the
// painter's lifetime. Fonts resolve through Qt's font database with a CJK fallback.
#include "platform/gfx/Graphics.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <cmath>
#include <map>
#include <vector>

#include "platform/gui/GuiApplication.h"

namespace {
// 96 dots per inch, so that point sizes give the same pixel sizes as on the original platform.
constexpr int kDotsPerMeter = 3780;
const char16_t kCjkFamily[] = u"WenQuanYi Micro Hei";

QString ToQ(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

QImage Wrap(uint32_t* pixels, int w, int h, QImage::Format format) {
    QImage image(reinterpret_cast<uchar*>(pixels), w, h, w * 4, format);
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
    return image;
}

QImage WrapConst(const uint32_t* pixels, int w, int h, QImage::Format format) {
    return QImage(reinterpret_cast<const uchar*>(pixels), w, h, w * 4, format);
}

const QImage& MeasureDevice() {
    static const QImage device = [] {
        QImage d(1, 1, QImage::Format_ARGB32_Premultiplied);
        d.setDotsPerMeterX(kDotsPerMeter);
        d.setDotsPerMeterY(kDotsPerMeter);
        return d;
    }();
    return device;
}

QFont BuildFont(const FontSpec& desc) {
    QFont font(ToQ(Graphics::ResolveFamily(desc.family)));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(desc.size > 0 ? desc.size : 9.0);
    font.setBold(desc.style & FontSpec::kBold);
    font.setItalic(desc.style & FontSpec::kItalic);
    font.setUnderline(desc.style & FontSpec::kUnderline);
    font.setStrikeOut(desc.style & FontSpec::kStrikeout);
    return font;
}

// Controls ask for the same few fonts on every paint; building a QFont resolves the family
// through the font database each time, so the last few are kept.
const QFont& MakeFont(const FontSpec& desc) {
    EnsureGuiApplication();
    struct Entry {
        FontSpec desc;
        QFont font;
    };
    static thread_local std::vector<Entry> cache;
    for (const Entry& e : cache) {
        if (e.desc.size == desc.size && e.desc.style == desc.style && e.desc.family == desc.family)
            return e.font;
    }
    if (cache.size() >= 16) cache.erase(cache.begin());
    cache.push_back({desc, BuildFont(desc)});
    return cache.back().font;
}

QColor ToColour(uint32_t argb) {
    return QColor::fromRgba(argb);
}
QRect ToQ(const Rect& r) {
    return QRect(r.x, r.y, r.width, r.height);
}
}  // namespace

struct Graphics::Impl {
    QImage image;
    QPainter painter;
    int depth = 0;
};

Graphics::Graphics(Surface& target) : impl_(std::make_unique<Impl>()) {
    if (target.Width() <= 0 || target.Height() <= 0) {
        ok_ = false;
        return;
    }
    impl_->image = Wrap(target.Data(), target.Width(), target.Height(), QImage::Format_ARGB32_Premultiplied);
    impl_->painter.begin(&impl_->image);
}

Graphics::Graphics(Bitmap& target) : impl_(std::make_unique<Impl>()) {
    if (target.Width() <= 0 || target.Height() <= 0) {
        ok_ = false;
        return;
    }
    impl_->image = Wrap(target.Pixels(), target.Width(), target.Height(), QImage::Format_ARGB32);
    impl_->painter.begin(&impl_->image);
}

Graphics::~Graphics() {
    if (impl_->painter.isActive()) impl_->painter.end();
}

void Graphics::Save() {
    if (!impl_->painter.isActive()) return;
    impl_->painter.save();
    ++impl_->depth;
}

void Graphics::Restore() {
    if (impl_->depth == 0) return;
    impl_->painter.restore();
    --impl_->depth;
}

void Graphics::IntersectClip(const Rect& r) {
    if (!impl_->painter.isActive()) return;
    if (impl_->painter.hasClipping()) {
        impl_->painter.setClipRect(ToQ(r), Qt::IntersectClip);
    } else {
        impl_->painter.setClipRect(ToQ(r));
    }
}

Rect Graphics::ClipBounds() const {
    const QPainter& p = impl_->painter;
    if (!p.isActive()) return {};
    const QPointF o = p.transform().map(QPointF(0, 0));
    QRect whole(-static_cast<int>(o.x()), -static_cast<int>(o.y()), impl_->image.width(),
                impl_->image.height());
    if (!p.hasClipping()) return {whole.x(), whole.y(), whole.width(), whole.height()};
    const QRect c = p.clipBoundingRect().toAlignedRect() & whole;
    return {c.x(), c.y(), c.width(), c.height()};
}

void Graphics::Translate(int dx, int dy) {
    if (impl_->painter.isActive()) impl_->painter.translate(dx, dy);
}

Point Graphics::Origin() const {
    const QPointF o = impl_->painter.transform().map(QPointF(0, 0));
    return {static_cast<int32_t>(o.x()), static_cast<int32_t>(o.y())};
}

void Graphics::FillRect(const Rect& r, uint32_t argb) {
    if ((argb >> 24) == 0 || r.IsEmpty()) return;
    if (!impl_->painter.isActive()) {
        ok_ = false;
        return;
    }
    impl_->painter.fillRect(ToQ(r), ToColour(argb));
}

void Graphics::DrawFrameRect(const Rect& r, uint32_t argb) {
    if ((argb >> 24) == 0 || r.IsEmpty()) return;
    if (!impl_->painter.isActive()) {
        ok_ = false;
        return;
    }
    // Four fills instead of a pen: exact pixels, no overlap at the corners.
    const QColor c = ToColour(argb);
    QPainter& p = impl_->painter;
    p.fillRect(QRect(r.x, r.y, r.width, 1), c);
    if (r.height > 1) p.fillRect(QRect(r.x, r.Bottom() - 1, r.width, 1), c);
    if (r.height > 2) {
        p.fillRect(QRect(r.x, r.y + 1, 1, r.height - 2), c);
        if (r.width > 1) p.fillRect(QRect(r.Right() - 1, r.y + 1, 1, r.height - 2), c);
    }
}

void Graphics::DrawLine(Point from, Point to, uint32_t argb, float width, bool dashed) {
    if ((argb >> 24) == 0) return;
    if (!impl_->painter.isActive() || width <= 0) {
        ok_ = false;
        return;
    }
    QPen pen(ToColour(argb));
    pen.setWidthF(width);
    pen.setCapStyle(Qt::FlatCap);
    if (dashed) pen.setStyle(Qt::DashLine);
    QPainter& p = impl_->painter;
    p.save();
    p.setPen(pen);
    // Pixel centres, so that a 1-pixel horizontal line covers exactly one row.
    p.drawLine(QPointF(from.x + 0.5, from.y + 0.5), QPointF(to.x + 0.5, to.y + 0.5));
    p.restore();
}

void Graphics::FillGradient(const Rect& r, uint32_t from, uint32_t to, bool vertical) {
    if (r.IsEmpty()) return;
    if (!impl_->painter.isActive()) {
        ok_ = false;
        return;
    }
    QLinearGradient g(QPointF(r.x, r.y), vertical ? QPointF(r.x, r.Bottom()) : QPointF(r.Right(), r.y));
    g.setColorAt(0, ToColour(from));
    g.setColorAt(1, ToColour(to));
    impl_->painter.fillRect(ToQ(r), QBrush(g));
}

void Graphics::DrawImage(const Bitmap& image, const Rect& dest, const Rect& src, uint8_t alpha,
                         bool useColourKey, uint32_t key) {
    if (alpha == 0 || dest.IsEmpty()) return;
    const Rect s = src.Intersect({0, 0, image.Width(), image.Height()});
    if (s.IsEmpty() || !impl_->painter.isActive()) {
        ok_ = false;
        return;
    }
    QImage source = WrapConst(image.Pixels(), image.Width(), image.Height(), QImage::Format_ARGB32);
    QRect sourceRect = ToQ(s);
    if (useColourKey) {
        source = source.copy(sourceRect);
        sourceRect = QRect(0, 0, s.width, s.height);
        for (int y = 0; y < source.height(); ++y) {
            auto* row = reinterpret_cast<uint32_t*>(source.scanLine(y));
            for (int x = 0; x < source.width(); ++x) {
                if (row[x] == key) row[x] = 0;
            }
        }
    }
    QPainter& p = impl_->painter;
    const bool scaled = dest.width != s.width || dest.height != s.height;
    const bool shrinking = dest.width < s.width || dest.height < s.height;
    const qreal opacity = p.opacity();
    if (alpha != 255) p.setOpacity(opacity * alpha / 255.0);
    if (scaled && shrinking) p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(ToQ(dest), source, sourceRect);
    if (scaled && shrinking) p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (alpha != 255) p.setOpacity(opacity);
}

void Graphics::DrawSurface(const Surface& image, const Rect& dest, const Rect& src, uint8_t alpha) {
    if (alpha == 0 || dest.IsEmpty()) return;
    const Rect s = src.Intersect({0, 0, image.Width(), image.Height()});
    if (s.IsEmpty() || !impl_->painter.isActive()) {
        ok_ = false;
        return;
    }
    const QImage source =
        WrapConst(image.Data(), image.Width(), image.Height(), QImage::Format_ARGB32_Premultiplied);
    QPainter& p = impl_->painter;
    const qreal opacity = p.opacity();
    if (alpha != 255) p.setOpacity(opacity * alpha / 255.0);
    p.drawImage(ToQ(dest), source, ToQ(s));
    if (alpha != 255) p.setOpacity(opacity);
}

void Graphics::DrawText(std::u16string_view s, const Rect& r, uint32_t argb, const FontSpec& font,
                        uint32_t flags) {
    if (s.empty() || (argb >> 24) == 0 || r.IsEmpty()) return;
    if (!impl_->painter.isActive()) {
        ok_ = false;
        return;
    }
    QPainter& p = impl_->painter;
    p.save();
    const QFont& qfont = MakeFont(font);
    p.setFont(qfont);
    p.setPen(ToColour(argb));
    QRectF box(r.x, r.y, r.width, r.height);
    if (flags & (text::kRotateLeft | text::kRotateRight)) {
        // Lay the text out in a box with width and height swapped, turned about the centre.
        p.translate(box.center());
        p.rotate((flags & text::kRotateLeft) ? -90 : 90);
        box = QRectF(-r.height / 2.0, -r.width / 2.0, r.height, r.width);
    }
    int align = (flags & text::kCentre)  ? Qt::AlignHCenter
                : (flags & text::kRight) ? Qt::AlignRight
                                         : Qt::AlignLeft;
    align |= (flags & text::kVCentre)  ? Qt::AlignVCenter
             : (flags & text::kBottom) ? Qt::AlignBottom
                                       : Qt::AlignTop;
    QString q = ToQ(s);
    if (flags & text::kWordWrap) {
        align |= Qt::TextWordWrap;
    } else {
        q.replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (flags & text::kEllipsis) {
            const QFontMetricsF metrics(qfont, &impl_->image);
            q = metrics.elidedText(q, Qt::ElideRight, box.width());
        }
    }
    p.setClipRect(box, Qt::IntersectClip);
    p.drawText(box, align, q);
    p.restore();
}

Size Graphics::MeasureText(std::u16string_view s, const FontSpec& font) {
    if (s.empty()) return {};
    const QFontMetricsF metrics(MakeFont(font), &MeasureDevice());
    const QSizeF size = metrics.size(Qt::TextSingleLine, ToQ(s));
    return {static_cast<int32_t>(size.width() + 0.5), static_cast<int32_t>(std::ceil(size.height()))};
}

std::u16string Graphics::ResolveFamily(std::u16string_view family) {
    EnsureGuiApplication();
    static thread_local std::map<std::u16string, std::u16string, std::less<>> cache;
    if (auto it = cache.find(family); it != cache.end()) return it->second;
    std::u16string resolved(family);
    // The original platform's Chinese system fonts do not exist here; everything Chinese and
    // everything missing goes to the CJK sans font, which also covers Latin text.
    static const std::u16string_view kWindowsCjk[] = {u"宋体",     u"新宋体",          u"SimSun", u"NSimSun",
                                                      u"微软雅黑", u"Microsoft YaHei", u"黑体",   u"SimHei"};
    bool mapped = family.empty();
    for (auto w : kWindowsCjk) mapped = mapped || family == w;
    if (mapped || !QFontDatabase::hasFamily(ToQ(family))) {
        resolved = QFontDatabase::hasFamily(ToQ(kCjkFamily)) ? kCjkFamily : u"Sans Serif";
    }
    cache.emplace(std::u16string(family), resolved);
    return resolved;
}

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig keeps blocks it never frees once fonts have been resolved; the leak checker of the
// sanitizer build is told so, for every program that draws text.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif
