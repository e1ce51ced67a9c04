#include "net/GetAllRadioResourceEvent.h"

#include "net/HttpClient.h"
#include "net/HttpTask.h"
#include "storage/Config.h"

namespace {
std::unique_ptr<GetAllRadioResourceEvent> g_event;
}

GetAllRadioResourceEvent& GetAllRadioResourceEvent::Instance() {
    if (!g_event) g_event.reset(new GetAllRadioResourceEvent());
    return *g_event;
}

void GetAllRadioResourceEvent::DestroyInstance() {
    if (!g_event) return;
    if (HttpClient* client = HttpClient::Current()) client->RemoveTaskEvent(g_event.get());
    g_event.reset();
}

GetAllRadioResourceEvent::GetAllRadioResourceEvent()
    : handler_(std::make_shared<GetAllRadioResourceHandler>()) {}

GetAllRadioResourceEvent::~GetAllRadioResourceEvent() = default;

void GetAllRadioResourceEvent::OnTaskSucceeded(HttpTask* task) {
    if (task->m_dwStatusCode < 200 || task->m_dwStatusCode > 299) return;
    CConfig& config = CConfig::Instance();
    for (const auto& [name, value] : task->m_headers) {
        if (name == u"etag") {
            pending_etag_ = value;
            has_pending_etag_ = true;
        } else if (name == u"set-session-key") {
            config.session_key = value;
        }
    }
    handler_->StartUnpacking(config.RadioUseMagpie);
}

void GetAllRadioResourceEvent::OnTaskFailed(HttpTask*) {}
