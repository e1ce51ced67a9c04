// The package response (the query service's download or the direct request): keeps the session
// key and the entity tag the server sent and starts the unpacking thread. One instance lives for
// the whole run; the HTTP client never deletes it.
// Threading: user-interface thread only (made there, called by the client's delivery there).
#pragma once

#include <memory>
#include <string>

#include "net/GetAllRadioResourceHandler.h"
#include "net/IHttpTaskEvent.h"

class GetAllRadioResourceEvent final : public IHttpTaskEvent {
public:
    static GetAllRadioResourceEvent& Instance();
    // Tear-down: withdraws the event from the HTTP client and waits for the unpacking thread.
    static void DestroyInstance();

    void OnTaskSucceeded(HttpTask* task) override;
    // Nothing happens: a 304 of the direct request or any failure leaves everything as it is.
    void OnTaskFailed(HttpTask* task) override;

    GetAllRadioResourceHandler& Handler() { return *handler_; }
    // The entity tag of the package being unpacked; it becomes the stored one only once that
    // package has been imported, so a package that fails to unpack is asked for again.
    const std::u16string& PendingEtag() const { return pending_etag_; }
    void ClearPendingEtag() {
        pending_etag_.clear();
        has_pending_etag_ = false;
    }
    bool HasPendingEtag() const { return has_pending_etag_; }

    ~GetAllRadioResourceEvent() override;

private:
    GetAllRadioResourceEvent();
    std::shared_ptr<GetAllRadioResourceHandler> handler_;
    std::u16string pending_etag_;
    bool has_pending_etag_ = false;
};
