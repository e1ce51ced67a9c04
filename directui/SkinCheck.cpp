#include "directui/SkinCheck.h"

#include <cstdio>
#include <set>
#include <vector>

#include "directui/SkinLoader.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace {

std::string JsonString(std::u16string_view s) {
    std::string out = "\"";
    for (const char c : Utf16ToUtf8(s)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonArray(const std::vector<std::u16string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + JsonString(items[i]);
    return out + "]";
}

bool EndsWithNoCase(std::u16string_view s, std::u16string_view tail) {
    return s.size() >= tail.size() && EqualsNoCase(s.substr(s.size() - tail.size()), tail);
}

// Values of "...Img" and "...Image" attributes anywhere below `node` that name no cached image.
void CollectMissingImages(const CXmlNode& node, const std::set<std::u16string>& images,
                          std::set<std::u16string>& seen, std::vector<std::u16string>& missing) {
    for (const XmlAttribute& a : node.Attributes()) {
        if (!a.value || a.value->empty()) continue;
        if (!EndsWithNoCase(a.name, u"Img") && !EndsWithNoCase(a.name, u"Image")) continue;
        const std::u16string name = ToLower(*a.value);
        if (!images.count(name) && seen.insert(name).second) missing.push_back(name);
    }
    for (int i = 0; i < node.GetChildCount(); ++i)
        CollectMissingImages(node.GetChildNode(i), images, seen, missing);
}

bool IsReadableFile(std::u16string_view path) {
    if (!IsRegularFile(path)) return false;
    FILE* f = std::fopen(NativePath(path).c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

}  // namespace

int CheckSkinPackage(std::u16string_view path, std::string& json) {
    const bool readable = IsReadableFile(path);
    CSkinLoader loader;
    const bool loaded = readable && loader.LoadSkin(path);
    const CSkinLoader::Attempt& attempt = loader.LastAttempt();
    const CXmlNode& top = attempt.top;

    const std::vector<std::u16string> names = loaded ? loader.ImageNames() : std::vector<std::u16string>();
    std::vector<std::u16string> missing;
    if (loaded) {
        const std::set<std::u16string> images(names.begin(), names.end());
        std::set<std::u16string> seen;
        CollectMissingImages(top, images, seen, missing);
    }
    const std::u16string* name = top.GetAttribute(u"name");
    const std::u16string* version = top.GetAttribute(u"version");
    json = "{\"loaded\": " + std::string(loaded ? "true" : "false");
    json += ", \"name\": " + JsonString(name ? *name : u"");
    json += ", \"version\": " + JsonString(version ? *version : u"");
    json += ", \"images\": " + std::to_string(names.size());
    json +=
        ", \"failed_images\": " + JsonArray(loaded ? attempt.failedImages : std::vector<std::u16string>());
    json += ", \"missing_images\": " + JsonArray(missing);
    json +=
        ", \"xml_error\": " + (attempt.xmlError < 0 ? std::string("null") : std::to_string(attempt.xmlError));
    json += "}";
    if (!readable) return 2;
    return loaded ? 0 : 1;
}
