// The configuration object: defaults, Load, Save and the row helpers.
// Save writes the rows in one fixed order (ForEachSaved); Load reads them in its own fixed order
// (ReadTable). Integers are stored as decimal text, hot keys as "name|first|second|".
#include "storage/Config.h"

#include <ctime>
#include <mutex>

#include "platform/Ini.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "storage/CppSQLite3DB.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/DatabasePath.h"
#include "storage/SqlEscape.h"
#include "storage/SqlWriteQueue.h"
#include "storage/TableSchema.h"

namespace {

// Deployment values; the companion's net_option.ini overrides the first three.
constexpr char16_t kApiServerHost[] = u"http://api.radio.loxan.example";
constexpr char16_t kStreamPlayHost[] = u"http://stream.radio.loxan.example";
constexpr char16_t kMagpieUrl[] = u"http://package.loxan.example/api/package/v1/query";
constexpr char16_t kDisServerAddr[] = u"192.0.2.10:8000";

struct HotKeyDefault {
    const char16_t* name;
    int firstValue;
    int secondValue;
};
constexpr HotKeyDefault kHotKeyDefaults[ConfigValues::kHotKeyCount] = {
    {u"选项", 112, 0},          // F1
    {u"播放/暂停", 116, 0},     // F5
    {u"下一曲", 2599, 3623},    // Ctrl+Right, Ctrl+Alt+Right (arrows carry the extended flag)
    {u"上一曲", 2597, 3621},    // Ctrl+Left, Ctrl+Alt+Left
    {u"停止播放", 117, 0},      // F6
    {u"模式切换", 115, 0},      // F4
    {u"增大声音", 2598, 3622},  // Ctrl+Up, Ctrl+Alt+Up
    {u"减少声音", 2600, 3624},  // Ctrl+Down, Ctrl+Alt+Down
    {u"静音开关", 589, 1613},   // Ctrl+M, Ctrl+Alt+M
    {u"添加文件", 591, 0},      // Ctrl+O
    {u"查找", 582, 0},          // Ctrl+F
};

TableSchema ConfigSchema() {
    TableSchema schema(u"config");
    schema.AddColumn(u"section", u"nvarchar(300)");
    schema.AddColumn(u"keyname", u"nvarchar(300)");
    schema.AddColumn(u"value", u"nvarchar(300)");
    return schema;
}

std::u16string HotKeyName(int index) {
    return Format(u"hotkey%d", index);
}

// Times after 2038-01-19 were once stored as their low 32 bits, which read back negative.
int64_t WidenShutDownTime(int64_t stored) {
    if (stored < 0 && stored >= INT32_MIN) return stored + (int64_t{1} << 32);
    return stored;
}

// Calls v(section, key, accessor) for every stored setting in Save order; accessor(values)
// returns a reference to the setting's field in any ConfigValues.
template <class Visitor>
void ForEachSaved(int hotkey_count, Visitor&& v) {
#define LX_FIELD(f)        \
    [](auto& c) -> auto& { \
        return c.f;        \
    }
    v(u"General", u"IsTray", LX_FIELD(IsTray));
    v(u"General", u"IsOnlyClick", LX_FIELD(IsOnlyClick));
    v(u"General", u"IsAutoUpdate", LX_FIELD(IsAutoUpdate));
    v(u"General", u"IsAutoRun", LX_FIELD(IsAutoRun));
    v(u"General", u"IsAutoPlay", LX_FIELD(IsAutoPlay));
    v(u"General", u"IsAutoHide", LX_FIELD(IsAutoHide));
    v(u"General", u"BufferTime", LX_FIELD(BufferTime));
    v(u"General", u"IsCloseTip", LX_FIELD(IsCloseTip));
    v(u"General", u"IsClose", LX_FIELD(IsClose));
    v(u"Proxy", u"IsUseProxy", LX_FIELD(IsUseProxy));
    v(u"Proxy", u"proxy_type", LX_FIELD(proxy.proxy_type));
    v(u"Proxy", u"proxy_addr", LX_FIELD(proxy.proxy_addr));
    v(u"Proxy", u"proxy_port", LX_FIELD(proxy.proxy_port));
    v(u"Proxy", u"proxy_name", LX_FIELD(proxy.proxy_name));
    v(u"Proxy", u"proxy_password", LX_FIELD(proxy.proxy_password));
    v(u"Proxy", u"proxy_domain", LX_FIELD(proxy.proxy_domain));
    v(u"Proxy", u"proxy_transfer_station", LX_FIELD(proxy.proxy_transfer_station));
    v(u"HotKeys", u"hotkey_count", LX_FIELD(hotkey_count));
    const int count =
        hotkey_count < ConfigValues::kHotKeyCapacity ? hotkey_count : ConfigValues::kHotKeyCapacity;
    for (int i = 0; i < count; ++i) {
        const std::u16string key = HotKeyName(i);
        v(
            u"HotKeys", key, [i](auto& c) -> auto& { return c.HotKeys[static_cast<size_t>(i)]; });
    }
    v(u"ShutDownTime", u"ShutDownTime", LX_FIELD(ShutDownTime));
    v(u"RecordFilePath", u"RecordFilePath", LX_FIELD(RecordFilePath));
    v(u"Skin", u"SkinName", LX_FIELD(SkinName));
    v(u"Skin", u"ARGB", LX_FIELD(ARGB));
    v(u"IsLoad", u"IsLoad", LX_FIELD(IsLoad));
    v(u"Skin", u"Istransparent", LX_FIELD(Istransparent));
    v(u"Skin", u"transparentValue", LX_FIELD(transparentValue));
    v(u"EverOpen", u"EverOpen", LX_FIELD(EverOpen));
    v(u"Volume", u"Volume", LX_FIELD(Volume));
    v(u"Mutx", u"Mutx", LX_FIELD(Mutx));
    v(u"DisServerAddr", u"DisServerAddr", LX_FIELD(DisServerAddr));
    v(u"http_resp_header", u"etag", LX_FIELD(etag));
    v(u"http_resp_header", u"session_key", LX_FIELD(session_key));
    v(u"RadioPackage", u"Version", LX_FIELD(Version));
#undef LX_FIELD
}

// Writes one setting of any kind as its row.
struct RowWriter {
    void operator()(std::u16string_view section, std::u16string_view key, int value) const {
        CConfig::WriteInt(value, section, key);
    }
    void operator()(std::u16string_view section, std::u16string_view key, int64_t value) const {
        CConfig::WriteInt64(value, section, key);
    }
    void operator()(std::u16string_view section, std::u16string_view key, const std::u16string& value) const {
        CConfig::WriteText(value, section, key);
    }
    void operator()(std::u16string_view section, std::u16string_view key, const HotKeyEntry& value) const {
        CConfig::WriteText(Format(u"%s|%d|%d|", value.name, value.firstValue, value.secondValue), section,
                           key);
    }
};

std::mutex& InstanceMutex() {
    static std::mutex m;
    return m;
}

std::unique_ptr<CConfig>& InstanceSlot() {
    static std::unique_ptr<CConfig> config;
    return config;
}

}  // namespace

ConfigValues::ConfigValues()
    : ShutDownTime(static_cast<int64_t>(std::time(nullptr))),
      RecordFilePath(MusicFolder() + u"/录音"),
      DisServerAddr(kDisServerAddr),
      RADIO_API_SERVER_HOST(kApiServerHost),
      RADIO_STREAM_PLAY_HOST(kStreamPlayHost),
      MagpieUrl(kMagpieUrl) {
    for (int i = 0; i < kHotKeyCount; ++i) {
        HotKeyEntry& e = HotKeys[static_cast<size_t>(i)];
        e.name = kHotKeyDefaults[i].name;
        e.firstValue = kHotKeyDefaults[i].firstValue;
        e.secondValue = kHotKeyDefaults[i].secondValue;
    }
}

CConfig& CConfig::Instance() {
    std::lock_guard<std::mutex> lock(InstanceMutex());
    std::unique_ptr<CConfig>& slot = InstanceSlot();
    if (!slot) slot = std::make_unique<CConfig>();
    return *slot;
}

void CConfig::DestroyInstance() {
    std::unique_ptr<CConfig> config;
    {
        std::lock_guard<std::mutex> lock(InstanceMutex());
        config = std::move(InstanceSlot());
    }
}

CConfig::CConfig() : unloaded_(std::make_unique<ConfigValues>(static_cast<const ConfigValues&>(*this))) {}

CConfig::~CConfig() = default;

void CConfig::ReadSettingsFile() {
    const std::u16string file = CompanionDataPath(u"net_option.ini");
    RADIO_API_SERVER_HOST =
        GetPrivateProfileString(u"WebURL", u"RADIO_API_SERVER_HOST", kApiServerHost, file, 256);
    RADIO_STREAM_PLAY_HOST =
        GetPrivateProfileString(u"WebURL", u"RADIO_STREAM_PLAY_HOST", kStreamPlayHost, file, 256);
    MagpieUrl = GetPrivateProfileString(u"WebURL", u"MagpieUrl", MagpieUrl, file, 256);
    RadioUseMagpie = GetPrivateProfileInt(u"Option2", u"RadioUseMagpie", 1, file) == 1;
    RadioMagpieID = GetPrivateProfileInt(u"Option2", u"RadioMagpieID", 40, file);
}

void CConfig::Load() {
    ReadSettingsFile();
    try {
        SqlWriteQueue::Instance();
        CppSQLite3DB db;
        db.Open(DatabasePath());
        db.Execute(std::string("begin transaction;"));
        ReadTable(db, *this);
        db.Execute(std::string("commit transaction;"));
        db.Close();
    } catch (const CppSQLite3Exception& e) {
        LX_TRACE(std::string("settings not loaded, defaults kept: ") + e.what());
        loaded_ = false;
        unloaded_ = std::make_unique<ConfigValues>(static_cast<const ConfigValues&>(*this));
        throw;
    }
    loaded_ = true;
    unloaded_.reset();
}

void CConfig::ReadTable(CppSQLite3DB& db, ConfigValues& c) {
    ConfigSchema().EnsureTable(db);
    auto read_int = [&db](std::u16string_view section, std::u16string_view key, int& field) {
        field = ReadInt(db, section, key, field);
    };
    // Texts that may not be cleared by an empty stored value.
    auto read_text = [&db](std::u16string_view section, std::u16string_view key, std::u16string& field) {
        std::u16string stored = ReadText(db, section, key);
        if (!stored.empty()) field = std::move(stored);
    };

    read_int(u"General", u"IsTray", c.IsTray);
    read_int(u"General", u"IsOnlyClick", c.IsOnlyClick);
    read_int(u"General", u"IsAutoUpdate", c.IsAutoUpdate);
    read_int(u"General", u"IsAutoRun", c.IsAutoRun);
    read_int(u"General", u"IsAutoPlay", c.IsAutoPlay);
    read_int(u"General", u"IsAutoHide", c.IsAutoHide);
    read_int(u"General", u"BufferTime", c.BufferTime);
    read_int(u"General", u"IsCloseTip", c.IsCloseTip);
    read_int(u"General", u"IsClose", c.IsClose);
    read_int(u"Proxy", u"IsUseProxy", c.IsUseProxy);
    read_int(u"Proxy", u"proxy_type", c.proxy.proxy_type);
    read_text(u"Proxy", u"proxy_addr", c.proxy.proxy_addr);
    read_int(u"Proxy", u"proxy_port", c.proxy.proxy_port);
    read_text(u"Proxy", u"proxy_name", c.proxy.proxy_name);
    read_text(u"Proxy", u"proxy_password", c.proxy.proxy_password);
    read_text(u"Proxy", u"proxy_domain", c.proxy.proxy_domain);
    read_int(u"Proxy", u"proxy_transfer_station", c.proxy.proxy_transfer_station);

    const int stored_count = ReadInt(db, u"HotKeys", u"hotkey_count", c.hotkey_count);
    const int n = stored_count < c.hotkey_count ? stored_count : c.hotkey_count;
    for (int i = 0; i < n && i < kHotKeyCapacity; ++i) {
        const std::u16string text = ReadText(db, u"HotKeys", HotKeyName(i));
        // "name|first|second|"; a text without its three separators leaves the defaults.
        const size_t p1 = text.find(u'|');
        const size_t p2 = p1 == std::u16string::npos ? p1 : text.find(u'|', p1 + 1);
        const size_t p3 = p2 == std::u16string::npos ? p2 : text.find(u'|', p2 + 1);
        if (p3 == std::u16string::npos) continue;
        HotKeyEntry& e = c.HotKeys[static_cast<size_t>(i)];
        e.name = text.substr(0, p1);
        e.firstValue = WToI(std::u16string_view(text).substr(p1 + 1, p2 - p1 - 1));
        e.secondValue = WToI(std::u16string_view(text).substr(p2 + 1, p3 - p2 - 1));
    }

    {
        CppSQLite3Query q =
            db.Query(u"select * from config where section='ShutDownTime' and keyname='ShutDownTime'");
        if (!q.AtEnd()) {
            const int64_t now = static_cast<int64_t>(std::time(nullptr));
            c.ShutDownTime = WidenShutDownTime(q.Int64Field(u"value", now));
        }
    }

    read_text(u"RecordFilePath", u"RecordFilePath", c.RecordFilePath);
    read_text(u"Skin", u"SkinName", c.SkinName);
    read_int(u"Skin", u"ARGB", c.ARGB);
    read_int(u"IsLoad", u"IsLoad", c.IsLoad);
    read_int(u"EverOpen", u"EverOpen", c.EverOpen);
    read_int(u"Skin", u"Istransparent", c.Istransparent);
    read_int(u"Skin", u"transparentValue", c.transparentValue);
    read_text(u"DisServerAddr", u"DisServerAddr", c.DisServerAddr);
    read_int(u"Volume", u"Volume", c.Volume);
    read_int(u"Mutx", u"Mutx", c.Mutx);
    // These two are cleared by an empty stored text.
    c.session_key = ReadText(db, u"http_resp_header", u"session_key");
    c.etag = ReadText(db, u"http_resp_header", u"etag");
    read_int(u"RadioPackage", u"Version", c.Version);
}

bool CConfig::MergeStored() {
    ConfigValues stored = *unloaded_;
    try {
        CppSQLite3DB db;
        db.Open(DatabasePath());
        db.Execute(std::string("begin transaction;"));
        ReadTable(db, stored);
        db.Execute(std::string("commit transaction;"));
    } catch (const CppSQLite3Exception& e) {
        LX_TRACE(std::string("settings not saved, the stored ones are unreadable: ") + e.what());
        return false;
    }
    ForEachSaved(hotkey_count, [&](std::u16string_view, std::u16string_view, auto field) {
        auto& mine = field(*this);
        if (mine == field(*unloaded_)) mine = field(stored);
    });
    loaded_ = true;
    unloaded_.reset();
    return true;
}

bool CConfig::Save() {
    if (!loaded_ && !MergeStored()) return false;
    SqlWriteQueue& queue = SqlWriteQueue::Instance();
    queue.Enqueue(u"DELETE FROM config");
    ForEachSaved(hotkey_count, [this](std::u16string_view section, std::u16string_view key, auto field) {
        RowWriter()(section, key, field(static_cast<const ConfigValues&>(*this)));
    });
    return true;
}

int CConfig::ReadInt(CppSQLite3DB& db, std::u16string_view section, std::u16string_view key, int def) {
    CppSQLite3Query q = db.Query(Format(u"select * from config where section='%s' and keyname='%s'",
                                        SqlEscape(section), SqlEscape(key)));
    return q.AtEnd() ? def : q.IntField(u"value", def);
}

std::u16string CConfig::ReadText(CppSQLite3DB& db, std::u16string_view section, std::u16string_view key) {
    CppSQLite3Query q = db.Query(Format(u"select * from config where section='%s' and keyname='%s'",
                                        SqlEscape(section), SqlEscape(key)));
    return q.AtEnd() ? std::u16string() : q.TextField(u"value");
}

void CConfig::WriteInt(int value, std::u16string_view section, std::u16string_view key) {
    SqlWriteQueue::Instance().Enqueue(
        Format(u"insert into config(section,keyname,value) values('%s','%s','%d')", SqlEscape(section),
               SqlEscape(key), value));
}

void CConfig::WriteInt64(int64_t value, std::u16string_view section, std::u16string_view key) {
    SqlWriteQueue::Instance().Enqueue(
        Format(u"insert into config(section,keyname,value) values('%s','%s','%lld')", SqlEscape(section),
               SqlEscape(key), value));
}

void CConfig::WriteText(std::u16string_view text, std::u16string_view section, std::u16string_view key) {
    SqlWriteQueue::Instance().Enqueue(
        Format(u"insert into config(section,keyname,value) values('%s','%s','%s')", SqlEscape(section),
               SqlEscape(key), SqlEscape(text)));
}
