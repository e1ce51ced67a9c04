#include "net/GetListenerCountHandler.h"

#include <json/json.h>

#include <cmath>

#include "platform/Trace.h"

namespace {

constexpr std::string_view kSource = "get_listener_count_handler";
std::unique_ptr<GetListenerCountHandler> g_handler;

void Diagnostic(std::string_view expression) {
    Trace(kSource, std::string("assertion failed: ") + std::string(expression));
}

// "channel_key": an integer.
bool ReadKey(const Json::Value& v, int32_t* out) {
    if (!v.isInt()) return false;
    *out = v.asInt();
    return true;
}

// "listener_count": an integer, or a real number cut toward zero.
bool ReadCount(const Json::Value& v, int32_t* out) {
    if (v.isInt()) {
        *out = v.asInt();
        return true;
    }
    if (v.type() != Json::realValue) return false;
    const double d = std::trunc(v.asDouble());
    if (!(d >= INT32_MIN && d <= INT32_MAX)) return false;
    *out = static_cast<int32_t>(d);
    return true;
}

}  // namespace

GetListenerCountHandler& GetListenerCountHandler::Instance() {
    if (!g_handler) g_handler.reset(new GetListenerCountHandler());
    return *g_handler;
}

void GetListenerCountHandler::DestroyInstance() {
    g_handler.reset();
}

GetListenerCountHandler::~GetListenerCountHandler() {
    Stop();
}

void GetListenerCountHandler::SetReceiver(IUpdateRadioListenerCount* receiver) {
    CriticalSectionLock lock(lock_);
    receiver_ = receiver;
}

void GetListenerCountHandler::Start() {
    if (events_[EXIT_THREAD] || events_[TASK_HANDLE] || handle_thread_.joinable()) {
        Diagnostic("!events_[EXIT_THREAD] && !events_[TASK_HANDLE] && !handle_thread_");
        return;
    }
    events_[EXIT_THREAD] = std::make_unique<Event>(false, false);
    events_[TASK_HANDLE] = std::make_unique<Event>(false, false);
    handle_thread_ = std::thread(&GetListenerCountHandler::WorkerMain, this);
}

void GetListenerCountHandler::Enqueue(int groupId, std::string text) {
    auto task = std::make_shared<TagTaskType>();
    task->groupId = groupId;
    task->text = std::move(text);
    {
        CriticalSectionLock lock(lock_);
        queue_.push_back(std::move(task));
    }
    if (events_[TASK_HANDLE]) events_[TASK_HANDLE]->Set();
}

void GetListenerCountHandler::Stop() {
    {
        CriticalSectionLock lock(lock_);
        queue_.clear();
    }
    if (events_[EXIT_THREAD]) events_[EXIT_THREAD]->Set();
    if (handle_thread_.joinable()) handle_thread_.join();
    events_[EXIT_THREAD].reset();
    events_[TASK_HANDLE].reset();
}

void GetListenerCountHandler::WorkerMain() {
    for (;;) {
        const uint32_t which =
            WaitForAnyEvent({events_[EXIT_THREAD].get(), events_[TASK_HANDLE].get()}, kInfinite);
        if (which == EXIT_THREAD) return;
        if (which != TASK_HANDLE) {
            Diagnostic("false && L\"call WaitForMultipleObjects() error\"");
            continue;
        }
        for (;;) {
            std::shared_ptr<TagTaskType> task;
            {
                CriticalSectionLock lock(lock_);
                if (queue_.empty()) break;
                task = queue_.front();
                queue_.erase(queue_.begin());
            }
            ListenerCountResults results;
            if (!Parse(task->text, &results) || results.empty()) continue;
            IUpdateRadioListenerCount* receiver = nullptr;
            {
                CriticalSectionLock lock(lock_);
                receiver = receiver_;
            }
            if (receiver) receiver->OnListenerCounts(task->groupId, results);
        }
    }
}

bool GetListenerCountHandler::Parse(const std::string& text, ListenerCountResults* results) {
    results->clear();
    Json::Value root;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &root, nullptr)) {
        Diagnostic("false && L\"Json::Reader().parse error\"");
        return false;
    }
    const Json::Value& list = root.isObject() ? root["program_info_list"] : Json::Value::nullSingleton();
    if (!list.isNull() && !list.isArray()) {
        Diagnostic("false && L\"root is not array\"");
        return false;
    }
    for (const Json::Value& element : list) {
        if (!element.isObject()) {
            results->clear();
            return false;
        }
        int32_t key = 0;
        int32_t count = 0;
        if (!ReadKey(element["channel_key"], &key) || !ReadCount(element["listener_count"], &count)) continue;
        if (key == -1 || count == -1) continue;
        results->push_back({count, key});
    }
    return true;
}
