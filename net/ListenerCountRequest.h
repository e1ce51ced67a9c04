// Which catalogue groups have listener counts and how to ask for them: the request kinds by
// group, the request address, and the stream address that ties a channel to a station.
// Threading: user-interface thread only (reads the configuration and the tree).
#pragma once

#include <string>

class TreeNode;

class ListenerCountRequest {
public:
    struct Kind {
        int groupId = 0;
        int type = 0;
        int typeKey = 0;
    };

    // The request for a catalogue node: "推荐电台" (2000042, 1, 42), "网络电台" (2000001, 1, 1), a
    // region group (its id, 1, id − 2000000), a theme group (its id, 2, id − 1000000); false for
    // every other node.
    static bool ForNode(const TreeNode* node, Kind* kind);
    // RADIO_API_SERVER_HOST + "/program_info_list/type/<type>/type_key/<type_key>".
    static std::u16string Url(int type, int typeKey);
    // Queues the request with a new GetListenerCountEvent; false (task deleted) when refused.
    static bool Request(int groupId, int type, int typeKey);
    // RADIO_STREAM_PLAY_HOST + "/channel2/<key>/24": a station with exactly this stream address
    // belongs to the channel.
    static std::u16string ChannelUrl(int channelKey);
};
