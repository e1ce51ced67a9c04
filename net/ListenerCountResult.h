// One channel's listener count from the catalogue web service, and the list one reply gives.
// Threading: values; a list handed to the main window with 5046 belongs to the window.
#pragma once

#include <cstdint>
#include <vector>

struct ListenerCountResult {
    int32_t count = 0;       // listeners
    int32_t channelKey = 0;  // the channel; its stream address is ListenerCountRequest::ChannelUrl
    bool operator==(const ListenerCountResult&) const = default;
};

// In reply order.
using ListenerCountResults = std::vector<ListenerCountResult>;
