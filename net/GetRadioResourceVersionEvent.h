// The reply of one package version query: parses it and, for a newer package than the installed
// one, tells the receiver and records the version as pending. Deletes itself after either handler.
// Threading: made and called on the user-interface thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "net/IGetRadioResourceVersion.h"
#include "net/IHttpTaskEvent.h"

class GetRadioResourceVersionEvent final : public IHttpTaskEvent {
public:
    explicit GetRadioResourceVersionEvent(IGetRadioResourceVersion* receiver);
    ~GetRadioResourceVersionEvent() override;
    // Tear-down: withdraws every query still on its way and deletes its event.
    static void DestroyAll();

    void OnTaskSucceeded(HttpTask* task) override;
    void OnTaskFailed(HttpTask* task) override;

    // The reply's record when "code" is the integer 0 and "data"."info" is an object; members of
    // another type count as empty. Invalid JSON is traced and gives nothing.
    static std::optional<RadioResourceVersionInfo> ParseReply(std::string_view json);
    // "a.b.c" (three decimal integers) as a × 1048576 + b × 1024 + c; nothing for any other text
    // or a number beyond the signed 32-bit range.
    static std::optional<int32_t> VersionNumber(std::string_view text);

private:
    IGetRadioResourceVersion* receiver_;
};
