#include "net/GetRadioResourceVersionEvent.h"

#include <json/json.h>

#include <memory>
#include <set>

#include "net/HttpClient.h"
#include "net/HttpTask.h"
#include "platform/Trace.h"
#include "storage/Config.h"

namespace {

// Events of queries on their way (user-interface thread only).
std::set<GetRadioResourceVersionEvent*>& Live() {
    static std::set<GetRadioResourceVersionEvent*> live;
    return live;
}

std::string TextMember(const Json::Value& object, const char* name) {
    const Json::Value& v = object[name];
    return v.isString() ? v.asString() : std::string();
}

const Json::Value& ObjectMember(const Json::Value& object, const char* name) {
    static const Json::Value empty(Json::objectValue);
    if (!object.isObject()) return empty;
    const Json::Value& v = object[name];
    return v.isNull() ? empty : v;
}

}  // namespace

GetRadioResourceVersionEvent::GetRadioResourceVersionEvent(IGetRadioResourceVersion* receiver)
    : receiver_(receiver) {
    Live().insert(this);
}

GetRadioResourceVersionEvent::~GetRadioResourceVersionEvent() {
    Live().erase(this);
}

void GetRadioResourceVersionEvent::DestroyAll() {
    while (!Live().empty()) {
        GetRadioResourceVersionEvent* event = *Live().begin();
        if (HttpClient* client = HttpClient::Current()) client->RemoveTaskEvent(event);
        delete event;
    }
}

std::optional<RadioResourceVersionInfo> GetRadioResourceVersionEvent::ParseReply(std::string_view json) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(json.data(), json.data() + json.size(), &root, nullptr)) {
        Trace("get_radio_resource_version_handler",
              std::string_view("assertion failed: false && L\"Json::Reader().parse error\""));
        return std::nullopt;
    }
    if (!root.isObject()) return std::nullopt;
    const Json::Value& code = root["code"];
    if (!code.isIntegral() || code.isBool() || code.asLargestInt() != 0) return std::nullopt;
    const Json::Value& data = ObjectMember(root, "data");
    if (!data.isObject()) return std::nullopt;
    const Json::Value& info = ObjectMember(data, "info");
    if (!info.isObject()) return std::nullopt;
    RadioResourceVersionInfo out;
    out.version = TextMember(info, "version");
    out.hash = TextMember(info, "hash");
    out.encryptHash = TextMember(info, "encryptHash");
    out.url = TextMember(info, "url");
    return out;
}

std::optional<int32_t> GetRadioResourceVersionEvent::VersionNumber(std::string_view text) {
    int64_t parts[3];
    size_t count = 0;
    size_t start = 0;
    for (;;) {
        const size_t dot = text.find('.', start);
        const std::string_view part =
            text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (count == 3 || part.empty() || part.size() > 9) return std::nullopt;
        int64_t value = 0;
        for (char c : part) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        parts[count++] = value;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    if (count != 3) return std::nullopt;
    const int64_t number = parts[0] * 1048576 + parts[1] * 1024 + parts[2];
    if (number > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(number);
}

void GetRadioResourceVersionEvent::OnTaskSucceeded(HttpTask* task) {
    const std::optional<RadioResourceVersionInfo> info = ParseReply(task->GetResultString());
    if (info) {
        const int32_t number = VersionNumber(info->version).value_or(INT32_MIN);
        CConfig& config = CConfig::Instance();
        if (number > config.Version) {
            if (receiver_) receiver_->OnNewRadioResourceVersion(*info);
            config.newestPackageVersion = number;
        }
    }
    delete this;
}

void GetRadioResourceVersionEvent::OnTaskFailed(HttpTask*) {
    delete this;
}
