#include "net/GetListenerCountEvent.h"

#include <set>

#include "net/GetListenerCountHandler.h"
#include "net/HttpClient.h"
#include "net/HttpTask.h"

namespace {
// Events of requests on their way (user-interface thread only).
std::set<GetListenerCountEvent*>& Live() {
    static std::set<GetListenerCountEvent*> live;
    return live;
}
}  // namespace

GetListenerCountEvent::GetListenerCountEvent(int groupId) : groupId_(groupId) {
    Live().insert(this);
}

GetListenerCountEvent::~GetListenerCountEvent() {
    Live().erase(this);
}

void GetListenerCountEvent::DestroyAll() {
    while (!Live().empty()) {
        GetListenerCountEvent* event = *Live().begin();
        if (HttpClient* client = HttpClient::Current()) client->RemoveTaskEvent(event);
        delete event;
    }
}

void GetListenerCountEvent::OnTaskSucceeded(HttpTask* task) {
    GetListenerCountHandler::Instance().Enqueue(groupId_, task->GetResultString());
    delete this;
}

void GetListenerCountEvent::OnTaskFailed(HttpTask*) {
    delete this;
}
