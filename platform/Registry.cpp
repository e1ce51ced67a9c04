#include "platform/Registry.h"


#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trace.h"

namespace {

constexpr std::u16string_view kRunKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::u16string_view kInternetKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr std::u16string_view kShellFoldersKey =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::mutex g_file_mutex;  // serialises read-modify-write of the key-value file

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : std::string();
}

std::u16string ConfigHome() {
    if (auto v = Env("XDG_CONFIG_HOME"); !v.empty()) return FromNativePath(v);
    if (auto v = Env("HOME"); !v.empty()) return FromNativePath(v) + u"/.config";
    return {};
}

// "\Software//Loxan\" -> "Software\Loxan".
std::u16string NormaliseKey(std::u16string_view key) {
    std::u16string out;
    for (char16_t c : key) {
        if (c == u'/') c = u'\\';
        if (c == u'\\' && (out.empty() || out.back() == u'\\')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == u'\\') out.pop_back();
    return out;
}

bool IsKey(std::u16string_view key, std::u16string_view which) { return EqualsNoCase(NormaliseKey(key), which); }

// ---- the key-value file ------------------------------------------------------------------------

struct Value {
    std::u16string name;
    bool is_dword = false;
    std::u16string text;
    uint32_t dword = 0;
};
struct Key {
    std::u16string name;
    std::vector<Value> values;
};

std::u16string Escape(std::u16string_view s) {
    std::u16string out;
    for (char16_t c : s) {
        switch (c) {
            case u'\\': out += u"\\\\"; break;
            case u'"': out += u"\\\""; break;
            case u'\n': out += u"\\n"; break;
            case u'\r': out += u"\\r"; break;
            case u'\t': out += u"\\t"; break;
            default: out += c;
        }
    }
    return out;
}

// Reads a quoted text starting at s[*pos] == '"'; leaves *pos after the closing quote.
bool ReadQuoted(std::u16string_view s, size_t* pos, std::u16string* out) {
    if (*pos >= s.size() || s[*pos] != u'"') return false;
    out->clear();
    for (size_t i = *pos + 1; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c == u'"') {
            *pos = i + 1;
            return true;
        }
        if (c == u'\\' && i + 1 < s.size()) {
            c = s[++i];
            if (c == u'n') c = u'\n';
            else if (c == u'r') c = u'\r';
            else if (c == u't') c = u'\t';
        }
        *out += c;
    }
    return false;
}

std::vector<Key> LoadFile() {
    std::vector<Key> keys;
    std::ifstream in(NativePath(RegistryFilePath()), std::ios::binary);
    if (!in) return keys;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::u16string text = Utf8ToUtf16(bytes);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(u'\n', pos);
        if (end == std::u16string::npos) end = text.size();
        std::u16string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            keys.push_back({NormaliseKey(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        if (keys.empty() || line.empty() || line.front() != u'"') continue;
        Value v;
        size_t p = 0;
        if (!ReadQuoted(line, &p, &v.name) || p >= line.size() || line[p] != u'=') continue;
        ++p;
        if (line.substr(p, 6) == u"dword:") {
            const std::string hex = Utf16ToUtf8(line.substr(p + 6));
            char* stop = nullptr;
            const unsigned long n = std::strtoul(hex.c_str(), &stop, 16);
            if (hex.empty() || *stop != '\0') continue;
            v.is_dword = true;
            v.dword = static_cast<uint32_t>(n);
        } else if (!ReadQuoted(line, &p, &v.text)) {
            continue;
        }
        keys.back().values.push_back(std::move(v));
    }
    return keys;
}

bool SaveFile(const std::vector<Key>& keys) {
    const std::u16string path = RegistryFilePath();
    if (path.empty() || !EnsureDirectory(ParentPath(path))) return false;
    std::u16string text;
    for (const Key& k : keys) {
        if (k.values.empty()) continue;
        text += u"[" + k.name + u"]\n";
        for (const Value& v : k.values) {
            text += u"\"" + Escape(v.name) + u"\"=";
            text += v.is_dword ? Format(u"dword:%08x", v.dword) : u"\"" + Escape(v.text) + u"\"";
            text += u'\n';
        }
        text += u'\n';
    }
    const std::string tmp = NativePath(path) + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << Utf16ToUtf8(text);
        if (!out.flush()) return false;
    }
    return std::rename(tmp.c_str(), NativePath(path).c_str()) == 0;
}

Value* FindValue(std::vector<Key>& keys, std::u16string_view key, std::u16string_view name) {
    const std::u16string k = NormaliseKey(key);
    for (Key& entry : keys) {
        if (!EqualsNoCase(entry.name, k)) continue;
        for (Value& v : entry.values) {
            if (EqualsNoCase(v.name, name)) return &v;
        }
    }
    return nullptr;
}

bool StoreValue(std::u16string_view key, std::u16string_view name, const Value& value) {
    std::lock_guard<std::mutex> lock(g_file_mutex);
    std::vector<Key> keys = LoadFile();
    if (Value* v = FindValue(keys, key, name)) {
        *v = value;
    } else {
        const std::u16string k = NormaliseKey(key);
        Key* target = nullptr;
        for (Key& entry : keys) {
            if (EqualsNoCase(entry.name, k)) target = &entry;
        }
        if (!target) target = &keys.emplace_back(Key{k, {}});
        target->values.push_back(value);
    }
    return SaveFile(keys);
}

// ---- the autostart entry -----------------------------------------------------------------------

// Exec values are escaped twice: the desktop-entry string level doubles backslashes, and "%"
// is a field code unless doubled.
std::u16string ExecEscape(std::u16string_view command) {
    std::u16string out;
    for (char16_t c : command) {
        if (c == u'\\') out += u"\\\\";
        else if (c == u'%') out += u"%%";
        else if (c == u'\n') out += u"\\n";
        else out += c;
    }
    return out;
}

std::u16string ExecUnescape(std::u16string_view value) {
    std::u16string out;
    for (size_t i = 0; i < value.size(); ++i) {
        char16_t c = value[i];
        if (c == u'\\' && i + 1 < value.size()) {
            c = value[++i];
            if (c == u's') c = u' ';
            else if (c == u'n') c = u'\n';
            else if (c == u't') c = u'\t';
            else if (c == u'r') c = u'\r';
        } else if (c == u'%' && i + 1 < value.size() && value[i + 1] == u'%') {
            ++i;
        }
        out += c;
    }
    return out;
}

// A command that is one existing file is written as one quoted argument, so a program path with
// blanks starts as written; anything else is taken as a command line.
std::u16string CommandToExec(std::u16string_view command) {
    if (!IsRegularFile(command)) return ExecEscape(command);
    std::u16string quoted = u"\"";
    for (char16_t c : command) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
        quoted += c;
    }
    quoted += u'"';
    return ExecEscape(quoted);
}

std::u16string ExecToCommand(std::u16string_view exec) {
    const std::u16string line = ExecUnescape(exec);
    if (line.size() < 2 || line.front() != u'"' || line.back() != u'"') return line;
    std::u16string out;
    for (size_t i = 1; i + 1 < line.size(); ++i) {
        char16_t c = line[i];
        if (c == u'\\' && i + 2 < line.size()) c = line[++i];
        else if (c == u'"') return line;  // more than one argument: the line as it stands
        out += c;
    }
    return out;
}

bool ReadAutostart(std::u16string_view name, std::u16string* data) {
    std::ifstream in(NativePath(AutostartEntryPath(name)), std::ios::binary);
    if (!in) return false;
    std::string line;
    bool in_entry = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') in_entry = line == "[Desktop Entry]";
        if (in_entry && line.rfind("Exec=", 0) == 0) {
            *data = ExecToCommand(Utf8ToUtf16(std::string_view(line).substr(5)));
            return true;
        }
    }
    return false;
}

bool WriteAutostart(std::u16string_view name, std::u16string_view command) {
    const std::u16string path = AutostartEntryPath(name);
    if (path.empty() || !EnsureDirectory(ParentPath(path))) return false;
    const std::u16string text = u"[Desktop Entry]\nType=Application\nName=" + std::u16string(name) +
                                u"\nExec=" + CommandToExec(command) +
                                u"\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    const std::string tmp = NativePath(path) + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << Utf16ToUtf8(text);
        if (!out.flush()) return false;
    }
    return std::rename(tmp.c_str(), NativePath(path).c_str()) == 0;
}

// ---- proxy from the environment ----------------------------------------------------------------

struct ProxyUrl {
    std::string scheme;  // lower case, "" when the value has none
    std::string host_port;
};

// "socks5h://user:pw@host:1080/" -> {"socks5h", "host:1080"}.
ProxyUrl ParseProxy(const std::string& value) {
    ProxyUrl p;
    std::string rest = value;
    const size_t sep = rest.find("://");
    if (sep != std::string::npos) {
        for (char c : rest.substr(0, sep)) p.scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        rest = rest.substr(sep + 3);
    }
    const size_t slash = rest.find('/');
    if (slash != std::string::npos) rest.resize(slash);
    const size_t at = rest.rfind('@');
    if (at != std::string::npos) rest = rest.substr(at + 1);
    p.host_port = rest;
    return p;
}

bool IsSocks(const ProxyUrl& p) { return p.scheme.rfind("socks", 0) == 0; }

std::string EnvEither(const char* lower, const char* upper) {
    std::string v = Env(lower);
    return v.empty() && upper ? Env(upper) : v;
}

std::u16string DesktopFolder() {
    if (auto v = Env("XDG_DESKTOP_DIR"); !v.empty()) return FromNativePath(v);
    if (auto v = Env("HOME"); !v.empty()) return FromNativePath(v) + u"/Desktop";
    return {};
}

}  // namespace

std::u16string RegistryFilePath() {
    const std::u16string home = ConfigHome();
    return home.empty() ? home : home + u"/LoxanRadio/registry.reg";
}

std::u16string AutostartEntryPath(std::u16string_view name) {
    const std::u16string home = ConfigHome();
    if (home.empty() || name.empty()) return {};
    std::u16string file = ToLower(name);
    for (char16_t& c : file) {
        if (c == u'/' || c == u'\\') c = u'_';
    }
    return home + u"/autostart/" + file + u".desktop";
}

// http_proxy is honoured in lower case only (the upper-case name can be set by web requests to
// CGI programs); the others in either case, as curl does.
std::u16string ProxyServerFromEnvironment() {
    std::string http;
    std::string https;
    std::string socks;
    auto take = [&](const std::string& value, std::string* slot) {
        if (value.empty()) return;
        const ProxyUrl p = ParseProxy(value);
        if (p.host_port.empty()) return;
        std::string* target = IsSocks(p) ? &socks : slot;
        if (target && target->empty()) *target = p.host_port;
    };
    take(Env("http_proxy"), &http);
    take(EnvEither("https_proxy", "HTTPS_PROXY"), &https);
    const std::string all = EnvEither("all_proxy", "ALL_PROXY");
    if (!all.empty()) {
        const ProxyUrl p = ParseProxy(all);
        if (IsSocks(p)) {
            take(all, nullptr);
        } else {
            take(all, &http);
            take(all, &https);
        }
    }
    std::string out;
    auto add = [&](const char* kind, const std::string& hp) {
        if (hp.empty()) return;
        if (!out.empty()) out += ';';
        out += std::string(kind) + "=" + hp;
    };
    add("http", http);
    add("https", https);
    add("socks", socks);
    return Utf8ToUtf16(out);
}

bool RegGetString(std::u16string_view key, std::u16string_view name, std::u16string* data) {
    if (IsKey(key, kRunKey)) return ReadAutostart(name, data);
    if (IsKey(key, kInternetKey)) {
        if (!EqualsNoCase(name, u"ProxyServer")) return false;
        *data = ProxyServerFromEnvironment();
        return true;
    }
    if (IsKey(key, kShellFoldersKey)) {
        if (!EqualsNoCase(name, u"Desktop")) return false;
        *data = DesktopFolder();
        return !data->empty();
    }
    std::lock_guard<std::mutex> lock(g_file_mutex);
    std::vector<Key> keys = LoadFile();
    const Value* v = FindValue(keys, key, name);
    if (!v || v->is_dword) return false;
    *data = v->text;
    return true;
}

bool RegGetDword(std::u16string_view key, std::u16string_view name, uint32_t* data) {
    if (IsKey(key, kInternetKey)) {
        if (!EqualsNoCase(name, u"ProxyEnable")) return false;
        *data = ProxyServerFromEnvironment().empty() ? 0 : 1;
        return true;
    }
    if (IsKey(key, kRunKey) || IsKey(key, kShellFoldersKey)) return false;
    std::lock_guard<std::mutex> lock(g_file_mutex);
    std::vector<Key> keys = LoadFile();
    const Value* v = FindValue(keys, key, name);
    if (!v || !v->is_dword) return false;
    *data = v->dword;
    return true;
}

bool RegSetString(std::u16string_view key, std::u16string_view name, std::u16string_view data) {
    if (IsKey(key, kRunKey)) return WriteAutostart(name, data);
    if (IsKey(key, kInternetKey) || IsKey(key, kShellFoldersKey) || NormaliseKey(key).empty()) return false;
    Value v;
    v.name = name;
    v.text = data;
    return StoreValue(key, name, v);
}

bool RegSetDword(std::u16string_view key, std::u16string_view name, uint32_t data) {
    if (IsKey(key, kRunKey) || IsKey(key, kInternetKey) || IsKey(key, kShellFoldersKey) ||
        NormaliseKey(key).empty()) {
        return false;
    }
    Value v;
    v.name = name;
    v.is_dword = true;
    v.dword = data;
    return StoreValue(key, name, v);
}

bool RegDeleteValue(std::u16string_view key, std::u16string_view name) {
    if (IsKey(key, kRunKey)) {
        const std::u16string path = AutostartEntryPath(name);
        return !path.empty() && (!PathExists(path) || DeleteFileAt(path));
    }
    if (IsKey(key, kInternetKey) || IsKey(key, kShellFoldersKey)) return false;
    std::lock_guard<std::mutex> lock(g_file_mutex);
    std::vector<Key> keys = LoadFile();
    const std::u16string k = NormaliseKey(key);
    bool changed = false;
    for (Key& entry : keys) {
        if (!EqualsNoCase(entry.name, k)) continue;
        for (auto it = entry.values.begin(); it != entry.values.end();) {
            if (EqualsNoCase(it->name, name)) {
                it = entry.values.erase(it);
                changed = true;
            } else {
                ++it;
            }
        }
    }
    return !changed || SaveFile(keys);
}

bool GetCompanionInstallPath(std::u16string* path) {
    std::u16string value;
    if (!RegGetString(u"SOFTWARE\\Loxan", u"AppPath", &value)) return false;
    // The value is read into 512 bytes: 255 characters and the terminator.
    if (value.size() > 255) {
        LX_TRACE("AppPath longer than 255 characters");
        return false;
    }
    *path = value;
    return true;
}
