// The configuration object: every user setting and the few values the network services need.
// Made with defaults on first use, filled by Load (the companion's net_option.ini, then the
// `config` table) when the main window initialises, changed directly by the parts that own each
// setting, and written back as a whole by Save (delete all rows, insert every key, through the
// write queue). When Load failed, Save first reads what is stored and keeps it for every setting
// the user has not changed since, so an unreadable start never overwrites stored settings with
// defaults.
// Threading: UI thread only. The accessors return copies, which may be handed to workers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CppSQLite3DB;
class TreeNode;

// One hot-key action: its name and two key values in the Windows hot-key form (low byte the
// virtual-key code, high byte the modifiers 1 Shift, 2 Ctrl, 4 Alt, 8 extended); 0 is no key.
struct HotKeyEntry {
    std::u16string name;
    int firstValue = 0;   // key inside the main window (accelerator command 800 + index)
    int secondValue = 0;  // the second key offered for the same action
    bool operator==(const HotKeyEntry&) const = default;
};

// The proxy record; stored under the section "Proxy".
struct ProxySetting {
    int proxy_type = 0;  // 0 none, 1 SOCKS5, 2 HTTP, 3 the browser's setting
    std::u16string proxy_addr;
    int proxy_port = 0;  // 0: no port given
    std::u16string proxy_name;
    std::u16string proxy_password;  // stored as typed
    std::u16string proxy_domain;
    int proxy_transfer_station = 0;
};

// The stored settings and the values of the companion settings file, with their defaults.
struct ConfigValues {
    static constexpr int kHotKeyCapacity = 20;
    static constexpr int kHotKeyCount = 11;

    ConfigValues();

    // "General"
    int IsTray = 1;
    int IsOnlyClick = 0;
    int IsAutoUpdate = 1;
    int IsAutoRun = 0;
    int IsAutoPlay = 1;
    int IsAutoHide = 0;
    int BufferTime = 5;  // seconds
    int IsCloseTip = 1;
    int IsClose = 0;
    // "Proxy"
    int IsUseProxy = 0;
    ProxySetting proxy;
    // "HotKeys"
    int hotkey_count = kHotKeyCount;
    std::array<HotKeyEntry, kHotKeyCapacity> HotKeys;
    int64_t ShutDownTime = 0;  // seconds since 1970; the start-up time by default
    std::u16string RecordFilePath;
    // "Skin"
    std::u16string SkinName = u"default.zip";
    int ARGB = 0;
    int Istransparent = 0;
    int transparentValue = 0;
    int IsLoad = 0;
    int EverOpen = 0;
    int Volume = 100;
    int Mutx = 0;
    std::u16string DisServerAddr;  // "address:port" of the song recognition server
    // "http_resp_header"
    std::u16string etag;
    std::u16string session_key;
    // "RadioPackage"
    int Version = 0;

    // From net_option.ini, never stored.
    std::u16string RADIO_API_SERVER_HOST;
    std::u16string RADIO_STREAM_PLAY_HOST;
    std::u16string MagpieUrl;
    bool RadioUseMagpie = true;
    int RadioMagpieID = 40;
};

class CConfig : public ConfigValues {
public:
    // The process-wide object, made with the defaults on first call.
    static CConfig& Instance();
    // Tear-down: deletes the object (without saving).
    static void DestroyInstance();

    CConfig();
    ~CConfig();
    CConfig(const CConfig&) = delete;
    CConfig& operator=(const CConfig&) = delete;

    // Reads the companion settings file, then the `config` table. Throws CppSQLite3Exception
    // when the database cannot be read; what was read so far stays, the rest keeps its default.
    void Load();
    // Queues "DELETE FROM config" and one row per setting (43 rows). False, with nothing
    // queued, when Load failed and the stored settings still cannot be read.
    bool Save();
    bool LoadSucceeded() const { return loaded_; }

    // The value of one row, or the default without one.
    static int ReadInt(CppSQLite3DB& db, std::u16string_view section, std::u16string_view key, int def);
    // The text of one row, or the empty text without one.
    static std::u16string ReadText(CppSQLite3DB& db, std::u16string_view section, std::u16string_view key);
    // Queue one row.
    static void WriteInt(int value, std::u16string_view section, std::u16string_view key);
    static void WriteInt64(int64_t value, std::u16string_view section, std::u16string_view key);
    static void WriteText(std::u16string_view text, std::u16string_view section, std::u16string_view key);

    std::u16string GetEtag() const { return etag; }
    std::u16string GetSessionKey() const { return session_key; }
    std::u16string GetApiServerHost() const { return RADIO_API_SERVER_HOST; }
    std::u16string GetStreamPlayHost() const { return RADIO_STREAM_PLAY_HOST; }
    std::u16string GetMagpieUrl() const { return MagpieUrl; }

    // Run-time values, never stored.
    std::u16string programFilePath;   // set by start-up
    TreeNode* currentItem = nullptr;  // the item playing; set by the playback controller, not owned
    int newestPackageVersion = 0;     // reported by the web service

private:
    void ReadSettingsFile();
    // Reads the table into `values`, in the fixed order, with the replace-only-when-not-empty rules.
    static void ReadTable(CppSQLite3DB& db, ConfigValues& values);
    // After a failed Load: takes the stored value of every setting unchanged since then.
    bool MergeStored();

    bool loaded_ = false;
    // The values as they were when Load failed (or at construction before any Load).
    std::unique_ptr<ConfigValues> unloaded_;
};
