#include "directui/SkinLoader.h"

#include <unzip.h>

#include <algorithm>
#include <climits>

#include "directui/Control.h"
#include "directui/SkinColour.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "platform/gfx/Bitmap.h"

// Sections: colour and value parsing; property views; opening packages; the image cache; tone,
// roots and lookups; the skin list.

namespace {

constexpr int kCaseInsensitive = 2;  // minizip's file-name comparison mode
constexpr size_t kMaxEntryNameBytes = 255;

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// wcstoul with base 16: leading blanks, hexadecimal digits up to the first other character; a
// value beyond 32 bits clamps to 0xFFFFFFFF.
uint32_t ParseHex(std::u16string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
    uint64_t v = 0;
    for (; i < s.size() && HexValue(s[i]) >= 0; ++i) {
        v = v * 16 + static_cast<uint64_t>(HexValue(s[i]));
        if (v > 0xFFFFFFFFu) return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(v);
}

// An entry name that is absolute, carries a drive or climbs out with ".." never names a skin image.
bool IsSafeEntryName(std::u16string_view name) {
    if (name.empty() || name[0] == u'/' || name[0] == u'\\') return false;
    if (name.size() >= 2 && name[1] == u':') return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(u"/\\", start);
        if (end == std::u16string_view::npos) end = name.size();
        if (name.substr(start, end - start) == u"..") return false;
        start = end + 1;
    }
    return true;
}

// Reads the current entry of `uf` completely; false when it is larger than `limit`, shorter than its
// header says, or damaged.
bool ReadCurrentEntry(unzFile uf, size_t limit, std::string& out) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    if (info.uncompressed_size > limit) return false;
    if (unzOpenCurrentFile(uf) != UNZ_OK) return false;
    out.assign(static_cast<size_t>(info.uncompressed_size), '\0');
    size_t got = 0;
    while (got < out.size()) {
        const unsigned chunk = static_cast<unsigned>(std::min<size_t>(out.size() - got, 1u << 20));
        const int n = unzReadCurrentFile(uf, out.data() + got, chunk);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    const int closed = unzCloseCurrentFile(uf);
    return got == out.size() && closed == UNZ_OK;
}

// The "skin" element of a parsed definition: the result itself, one of its children, or a child of
// a top-level declaration (which holds the rest of the file).
CXmlNode FindSkinElement(const CXmlNode& parsed) {
    if (parsed.GetName() && EqualsNoCase(*parsed.GetName(), u"skin")) return parsed;
    if (CXmlNode skin = parsed.GetChildNode(u"skin")) return skin;
    for (int i = 0; i < parsed.GetChildCount(); ++i) {
        const CXmlNode child = parsed.GetChildNode(i);
        if (!child.IsDeclaration()) continue;
        if (CXmlNode skin = child.GetChildNode(u"skin")) return skin;
    }
    return {};
}

}  // namespace

// ---- Colour and value parsing ----

uint32_t ParseSkinColour(std::u16string_view text) {
    if (!text.empty() && text[0] == u'$') {
        const uint32_t alpha = ParseHex(text.substr(1, 2)) & 0xFFu;
        const uint32_t colour = text.size() > 3 ? ParseHex(text.substr(3)) : 0;
        return alpha << 24 | (colour & 0x00FFFFFFu);
    }
    return static_cast<uint32_t>(WToI(text));
}

// ---- Property views ----

const std::u16string* CPropertyView::Value(std::u16string_view key) const {
    return node_.GetAttribute(key);
}

bool CPropertyView::GetString(std::u16string_view key, std::u16string& out) const {
    const std::u16string* v = Value(key);
    if (!v) return false;
    out = ToLower(*v);
    return true;
}

bool CPropertyView::GetInt(std::u16string_view key, int& out) const {
    const std::u16string* v = Value(key);
    if (!v) return false;
    out = WToI(*v);
    return true;
}

bool CPropertyView::GetFloat(std::u16string_view key, float& out) const {
    const std::u16string* v = Value(key);
    if (!v) return false;
    out = static_cast<float>(WToI(*v));
    return true;
}

bool CPropertyView::GetBool(std::u16string_view key, bool& out) const {
    const std::u16string* v = Value(key);
    if (!v) return false;
    out = WToI(*v) != 0;
    return true;
}

bool CPropertyView::GetRect(std::u16string_view key, Rect& out) const {
    const std::u16string* v = Value(key);
    if (!v) return false;
    int parts[4];
    size_t count = 0, start = 0;
    for (;;) {
        const size_t comma = v->find(u',', start);
        const std::u16string_view part = std::u16string_view(*v).substr(
            start, comma == std::u16string::npos ? std::u16string::npos : comma - start);
        if (count == 4) return false;
        parts[count++] = WToI(part);
        if (comma == std::u16string::npos) break;
        start = comma + 1;
    }
    if (count != 4) return false;
    out = Rect{parts[0], parts[1], parts[2], parts[3]};
    return true;
}

bool CPropertyView::GetColour(std::u16string_view key, uint32_t& out) const {
    const std::u16string* v = Value(key);
    if (!v) return false;
    const uint32_t colour = ParseSkinColour(*v);
    out = loader_ ? loader_->TransformColour(colour) : colour;
    return true;
}

bool CPropertyView::GetImage(std::u16string_view key, std::shared_ptr<Bitmap>& out, bool raw) const {
    const std::u16string* v = Value(key);
    if (!v || !loader_) return false;
    std::shared_ptr<Bitmap> image = loader_->GetImage(*v, raw);
    if (!image) return false;
    out = std::move(image);
    return true;
}

// ---- The loader: packages ----

CSkinLoader& CSkinLoader::Instance() {
    static CSkinLoader loader;
    return loader;
}

CSkinLoader::CSkinLoader(size_t pixelBudget) : pixelBudget_(pixelBudget) {}

CSkinLoader::~CSkinLoader() {
    ClosePackage(package_);
}

void CSkinLoader::ClosePackage(Package& p) {
    if (p.archive) unzClose(static_cast<unzFile>(p.archive));
    p.archive = nullptr;
}

bool CSkinLoader::OpenPackage(std::u16string_view path, Package& out) {
    if (!IsRegularFile(path)) {
        LX_TRACE(Format(u"CSkinLoader::LoadSkin(): '%s' is not exists or valid file.\n", path));
        return false;
    }
    unzFile uf = unzOpen64(NativePath(path).c_str());
    if (!uf) {
        LX_TRACE(Format(u"CSkinLoader::LoadSkin(): unzOpen(%s) failed.\n", path));
        return false;
    }
    std::string bytes;
    if (unzLocateFile(uf, "SkinResDef.xml", kCaseInsensitive) != UNZ_OK ||
        !ReadCurrentEntry(uf, kSkinMaxDefinitionBytes, bytes)) {
        LX_TRACE(Format(u"CSkinLoader::LoadSkin(): no readable SkinResDef.xml in %s\n", path));
        unzClose(uf);
        return false;
    }
    const std::u16string text = CXmlNode::DecodeText(bytes.data(), bytes.size());
    bytes = std::string();
    int code = -1;
    const CXmlNode parsed = CXmlNode::ParseString(text.c_str(), &code);
    attempt_.xmlError = code;
    out.top = FindSkinElement(parsed);
    if (out.top.IsEmpty()) {
        LX_TRACE(Format(u"CSkinLoader::LoadSkin(): no skin element in %s (code %d)\n", path, code));
        unzClose(uf);
        return false;
    }
    out.path = std::u16string(path);
    out.archive = uf;
    return true;
}

bool CSkinLoader::LoadSkin(std::u16string_view path) {
    attempt_ = Attempt{};
    if (path.empty() || !IsRegularFile(path)) return false;
    // File names differ by case on this system, so the same path means exactly the same text.
    if (!package_.path.empty() && path == package_.path) return true;
    Package fresh;
    if (!OpenPackage(path, fresh)) return false;
    attempt_.opened = true;
    attempt_.top = fresh.top;
    const std::u16string* version = fresh.top.GetAttribute(u"version");
    if (EqualsNoCase(*fresh.top.GetName(), u"skin") &&
        (version ? *version : std::u16string()) != requiredVersion_) {
        LX_TRACE(Format(u"CSkinLoader::LoadSkin(): %s has version '%s', not %s\n", path,
                        version ? *version : std::u16string(), requiredVersion_));
        ClosePackage(fresh);
        return false;
    }
    ClosePackage(package_);
    package_ = std::move(fresh);
    toneOn_ = false;
    Apply(true);
    ClosePackage(package_);
    return true;
}

// ---- The image cache ----

void CSkinLoader::ReadImages() {
    images_.clear();
    auto* uf = static_cast<unzFile>(package_.archive);
    char nameBuf[kMaxEntryNameBytes + 1];
    std::string bytes;
    size_t pixels = 0;
    for (int err = unzGoToFirstFile(uf); err == UNZ_OK; err = unzGoToNextFile(uf)) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(uf, &info, nameBuf, sizeof nameBuf, nullptr, 0, nullptr, 0) != UNZ_OK)
            continue;
        nameBuf[kMaxEntryNameBytes] = '\0';
        const std::string_view rawName(nameBuf);
        if (rawName.empty() || rawName.back() == '/') continue;  // a folder
        std::u16string name = ToLower(AnsiToUtf16(rawName));
        if (EqualsNoCase(name, u"SkinResDef.xml") || EqualsNoCase(name, u"Preview.jpg")) continue;
        if (!IsSafeEntryName(name)) {
            LX_TRACE(Format(u"CSkinLoader: entry '%s' ignored (outside the package)", name));
            continue;
        }
        if (images_.size() >= kSkinMaxImages && !images_.count(name)) {
            LX_TRACE(Format(u"CSkinLoader: more than %d images, the rest ignored",
                            static_cast<int>(kSkinMaxImages)));
            break;
        }
        ImageEntry entry;
        std::unique_ptr<Bitmap> decoded;
        if (ReadCurrentEntry(uf, kSkinMaxImageBytes, bytes))
            decoded = Bitmap::Decode(bytes.data(), bytes.size());
        const size_t size =
            decoded ? static_cast<size_t>(decoded->Width()) * static_cast<size_t>(decoded->Height()) : 0;
        if (decoded && size > pixelBudget_ - std::min(pixels, pixelBudget_)) {
            LX_TRACE(Format(u"CSkinLoader: image '%s' is beyond the skin's pixel budget", name));
            decoded.reset();
        }
        if (decoded) {
            pixels += size;
            entry.base = std::move(decoded);
        } else {
            LX_TRACE(Format(u"CSkinLoader: image '%s' does not decode", name));
            entry.base = std::make_shared<Bitmap>(0, 0);
            entry.failed = true;
            attempt_.failedImages.push_back(name);
        }
        images_[std::move(name)] = std::move(entry);
    }
}

void CSkinLoader::DropTintedImages() {
    for (auto& [name, entry] : images_) entry.tinted.reset();
}

std::shared_ptr<Bitmap> CSkinLoader::GetImage(std::u16string_view fileName, bool raw) {
    const auto it = images_.find(ToLower(fileName));
    if (it == images_.end()) return nullptr;
    ImageEntry& entry = it->second;
    if (raw || !toneOn_) return entry.base;
    if (entry.failed) return nullptr;
    if (!entry.tinted) entry.tinted = TintImage(*entry.base, tone_);
    return entry.tinted;
}

std::vector<std::u16string> CSkinLoader::ImageNames() const {
    std::vector<std::u16string> names;
    names.reserve(images_.size());
    for (const auto& [name, entry] : images_) names.push_back(name);
    return names;
}

// ---- Tone, roots and lookups ----

void CSkinLoader::Apply(bool applyPosition) {
    if (applyPosition) {
        mainTone_ = 0;
        if (const std::u16string* tone = package_.top.GetAttribute(u"MainTone")) {
            mainTone_ = (!tone->empty() && (*tone)[0] == u'$')
                            ? (tone->size() > 3 ? ParseHex(std::u16string_view(*tone).substr(3)) : 0)
                            : static_cast<uint32_t>(WToI(*tone));
        }
        const std::u16string* dis = package_.top.GetAttribute(u"DisFontColor");
        disabledTextColour_ = dis ? ParseSkinColour(*dis) : 0xFF000000u;
        // Without an open archive (after LoadSkin closed it) the decoded images stay as they are.
        if (package_.archive) ReadImages();
    } else {
        DropTintedImages();
    }
    TellRoots(applyPosition);
}

void CSkinLoader::TellRoots(bool applyPosition) {
    // A root may register or remove roots while it reloads: walk a copy, skip removed ones.
    const std::vector<CControl*> roots = roots_;
    for (CControl* root : roots) {
        if (std::find(roots_.begin(), roots_.end(), root) == roots_.end()) continue;
        if (root->IsSkinEnabled()) root->LoadSkinProperties(this, applyPosition, 0);
    }
}

void CSkinLoader::SetTone(uint32_t argb) {
    if (toneOn_ && argb == tone_) return;
    toneOn_ = true;
    tone_ = argb;
    DropTintedImages();
    TellRoots(false);
}

void CSkinLoader::ToneOff() {
    if (!toneOn_) return;
    toneOn_ = false;
    DropTintedImages();
    TellRoots(false);
}

uint32_t CSkinLoader::TransformColour(uint32_t argb) const {
    return toneOn_ ? TintColour(argb, tone_) : argb;
}

void CSkinLoader::AddRoot(CControl* root) {
    if (root && std::find(roots_.begin(), roots_.end(), root) == roots_.end()) roots_.push_back(root);
}

void CSkinLoader::RemoveRoot(CControl* root) {
    roots_.erase(std::remove(roots_.begin(), roots_.end(), root), roots_.end());
}

CPropertyView CSkinLoader::GetRoot() {
    return CPropertyView(this, package_.top);
}

CPropertyView CSkinLoader::GetCommon(std::u16string_view typeName) {
    return CPropertyView(this, package_.top.GetChildNode(u"Common").GetChildNode(typeName));
}

CPropertyView CSkinLoader::FindNode(const CControl* control, std::u16string_view name, int lookupMode) {
    if (!control) return CPropertyView(this, {});
    if (lookupMode == 2) return GetCommon(std::u16string(control->GetTypeName()));
    if (lookupMode != 0 && lookupMode != 1) return CPropertyView(this, {});
    if (name.empty()) {
        if (lookupMode == 0) return CPropertyView(this, {});
        const CControl* parent = control->GetParent();
        if (!parent) return CPropertyView(this, {});
        const std::u16string parentName(parent->GetName());
        if (!parentName.empty()) return FindNode(parent, parentName, 0);
        return GetCommon(std::u16string(parent->GetTypeName()));
    }
    // The path: skin / section / names of the named ancestors from the root down / the control.
    std::vector<std::u16string> names{std::u16string(name)};
    for (const CControl* p = control->GetParent(); p; p = p->GetParent()) {
        std::u16string n(p->GetName());
        if (!n.empty()) names.push_back(std::move(n));
    }
    names.push_back(section_);
    CXmlNode node = package_.top;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        node = node.GetChildNode(*it);
        if (node.IsEmpty()) return CPropertyView(this, {});
    }
    return CPropertyView(this, node);
}

// ---- The skin list ----

bool CSkinLoader::AddSkinToList(std::vector<SkinListEntry>& list, std::u16string_view path) {
    for (const SkinListEntry& e : list) {
        if (e.path == path) return false;
    }
    const Attempt kept = attempt_;
    Package tmp;
    const bool opened = OpenPackage(path, tmp);
    attempt_ = kept;
    if (!opened) return false;
    SkinListEntry entry;
    entry.path = std::u16string(path);
    auto* uf = static_cast<unzFile>(tmp.archive);
    std::string bytes;
    if (unzLocateFile(uf, "PreView.png", kCaseInsensitive) == UNZ_OK &&
        ReadCurrentEntry(uf, kSkinMaxImageBytes, bytes)) {
        entry.preview = Bitmap::Decode(bytes.data(), bytes.size());
    }
    if (const std::u16string* name = tmp.top.GetAttribute(u"name")) entry.name = ToLower(*name);
    ClosePackage(tmp);
    list.push_back(std::move(entry));
    return true;
}
