#include "net/RadioResourceUpdate.h"

#include "net/GetAllRadioResourceEvent.h"
#include "net/GetRadioResourceVersionEvent.h"
#include "net/HttpClient.h"
#include "net/HttpTask.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "platform/Version.h"
#include "storage/Config.h"
#include "storage/RadioManagement.h"

namespace {

constexpr size_t kMaxPathUnits = 259;
constexpr size_t kMaxHashUnits = 128;
constexpr const char16_t* kPackageFiles[] = {u"channel.txt", u"location.txt", u"category_map.txt",
                                             u"category.txt"};

bool AddOrDelete(HttpTask* task, IHttpTaskEvent* event) {
    if (HttpClient::GetInstance()->AddTask(task, event)) return true;
    delete task;
    return false;
}

}  // namespace

std::u16string RadioResourceUpdate::VersionQueryUrl() {
    const CConfig& config = CConfig::Instance();
    std::u16string url = config.GetMagpieUrl();
    url += url.find(u'?') == std::u16string::npos ? u'?' : u'&';
    url += u"appVer=" + ProgramVersion();
    url += u"&platform=1001&encrypt=1";
    url += u"&pId=" + IntToText(config.RadioMagpieID);
    url += u"&getFull=1";
    url += u"&packageVer=0";
    return url;
}

bool RadioResourceUpdate::Request(IGetRadioResourceVersion* receiver) {
    CConfig& config = CConfig::Instance();
    if (config.RadioUseMagpie) {
        auto* task = new HttpTask(VersionQueryUrl());
        task->m_headers[u"User-Agent"] = kUserAgent;
        auto* event = new GetRadioResourceVersionEvent(receiver);
        if (AddOrDelete(task, event)) return true;
        delete event;
        return false;
    }
    const std::u16string zip = TempPackageFile();
    if (zip.empty()) return false;
    GetAllRadioResourceEvent& event = GetAllRadioResourceEvent::Instance();
    event.Handler().SetPackagePath(u"");
    auto* task = new HttpTask(config.GetApiServerHost() + u"/resource2/IOS", zip);
    if (!config.etag.empty()) task->m_headers[u"If-None-Match"] = config.etag;
    if (!config.session_key.empty()) task->m_headers[u"X-Session-Key"] = config.session_key;
    task->m_headers[u"Referer"] = kCatalogueSite;
    task->m_headers[u"User-Agent"] = kUserAgent;
    return AddOrDelete(task, &event);
}

std::u16string RadioResourceUpdate::PackageFilePath(const RadioResourceVersionInfo& info) {
    std::u16string hash = Utf8ToUtf16(info.hash.substr(0, kMaxHashUnits));
    for (char16_t& c : hash) {
        const bool plain = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                           c == u'-' || c == u'_' || c == u'.';
        if (!plain) c = u'_';
    }
    const std::u16string path =
        TempFilePath(Format(u"Package_%s_%s%s", hash, Utf8ToUtf16(info.version), u".bin"));
    return path.size() > kMaxPathUnits ? std::u16string() : path;
}

bool RadioResourceUpdate::StartPackageDownload(const RadioResourceVersionInfo& info) {
    const std::u16string path = PackageFilePath(info);
    if (path.empty()) return false;
    GetAllRadioResourceEvent& event = GetAllRadioResourceEvent::Instance();
    event.Handler().SetPackagePath(path);
    auto* task = new HttpTask(Utf8ToUtf16(info.url), path);
    task->m_headers[u"User-Agent"] = kUserAgent;
    return AddOrDelete(task, &event);
}

bool RadioResourceUpdate::ImportDownloadedPackage(CRadioManagement& store,
                                                  const std::function<void()>& refresh) {
    const std::u16string folder = TempPackageFolder();
    const std::u16string zip = TempPackageFile();
    bool complete = !folder.empty();
    for (const char16_t* name : kPackageFiles) complete = complete && IsRegularFile(JoinPath(folder, name));
    if (complete) {
        store.QueueCatalogueDelete();
        store.ImportPackageFolder(folder);
        if (refresh) refresh();
    } else {
        LX_TRACE("the unpacked package lacks one of its files; the catalogue stays as it was");
    }
    RemoveDirectoryTree(folder);
    DeleteFileAt(zip);
    GetAllRadioResourceEvent& event = GetAllRadioResourceEvent::Instance();
    if (!complete) {
        event.ClearPendingEtag();
        return false;
    }
    CConfig& config = CConfig::Instance();
    config.Version = config.newestPackageVersion;
    if (event.HasPendingEtag()) config.etag = event.PendingEtag();
    event.ClearPendingEtag();
    config.Save();
    return true;
}
