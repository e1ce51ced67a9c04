// Names of manual recordings and the recording folder; main window's thread.
#include "playback/RecordFileName.h"

#include "platform/Paths.h"
#include "platform/Text.h"
#include "storage/Config.h"

namespace {

constexpr size_t kMaxPath = 255;       // UTF-16 units of the whole path
constexpr size_t kMaxNameBytes = 255;  // bytes of the file name on Linux file systems

// Drops the last character (a whole surrogate pair when it ends in one).
void DropLast(std::u16string& s) {
    if (s.empty()) return;
    const char16_t c = s.back();
    s.pop_back();
    if (c >= 0xDC00 && c <= 0xDFFF && !s.empty() && s.back() >= 0xD800 && s.back() <= 0xDBFF) s.pop_back();
}

}  // namespace

std::u16string SafeRecordName(std::u16string_view name) {
    std::u16string out;
    for (char16_t c : name) {
        switch (c) {
            case u'\\': case u':': case u'/': case u'\'': case u'*': case u'?':
            case u'"': case u'<': case u'>': case u'|': case u'\0':
                out.push_back(u'_');
                break;
            default:
                out.push_back(c);
        }
    }
    return out.empty() ? std::u16string(u"temp") : out;
}

std::u16string RecordFileName(std::u16string_view folder, std::u16string_view name, const LocalTime& t) {
    const std::u16string suffix =
        Format(u"_%d-%d-%d_%d_%d_%d.mp3", t.year, t.month, t.day, t.hour, t.minute, t.second);
    std::u16string safe = SafeRecordName(name);
    while (!safe.empty() && (folder.size() + safe.size() + suffix.size() > kMaxPath ||
                             Utf16ToUtf8(safe + suffix).size() > kMaxNameBytes)) {
        DropLast(safe);
    }
    if (safe.empty()) safe = u"temp";
    return std::u16string(folder) + safe + suffix;
}

std::u16string RecordFolder() {
    CConfig& config = CConfig::Instance();
    if (config.RecordFilePath.empty()) config.RecordFilePath = MusicFolder() + u"/录音/";
    std::u16string folder = config.RecordFilePath;
    if (folder.back() != u'/') folder.push_back(u'/');
    return folder;
}
