#include "net/GetListenerCountEvent.h"

#include "net/GetListenerCountHandler.h"
#include "net/HttpTask.h"

void GetListenerCountEvent::OnTaskSucceeded(HttpTask* task) {
    GetListenerCountHandler::Instance().Enqueue(groupId_, task->GetResultString());
    delete this;
}

void GetListenerCountEvent::OnTaskFailed(HttpTask*) {
    delete this;
}
