#include "net/ListenerCountRequest.h"

#include "net/GetListenerCountEvent.h"
#include "net/HttpClient.h"
#include "net/HttpTask.h"
#include "platform/Text.h"
#include "storage/Config.h"
#include "storage/RadioManagement.h"
#include "storage/TreeNode.h"

namespace {
constexpr char16_t kRecommendedRoot[] = u"推荐电台";
constexpr char16_t kNetworkRoot[] = u"网络电台";
constexpr char16_t kRegionRoot[] = u"地域电台";
constexpr char16_t kThemeRoot[] = u"主题电台";
}  // namespace

bool ListenerCountRequest::ForNode(const TreeNode* node, Kind* kind) {
    if (!node || node->GetType() != TYPE_GROUP) return false;
    const TreeNode* parent = node->GetParent();
    const std::u16string name = node->GetName();
    if (!parent && name == kRecommendedRoot) {
        *kind = {CRadioManagement::kRecommendedRootId, 1, CRadioManagement::kRecommendedLocation};
    } else if (!parent && name == kNetworkRoot) {
        *kind = {CRadioManagement::kNetworkRootId, 1, CRadioManagement::kNetworkLocation};
    } else if (parent && !parent->GetParent() && parent->GetName() == kRegionRoot) {
        *kind = {node->id, 1, node->id - CRadioManagement::kRegionBase};
    } else if (parent && !parent->GetParent() && parent->GetName() == kThemeRoot) {
        *kind = {node->id, 2, node->id - CRadioManagement::kThemeBase};
    } else {
        return false;
    }
    return true;
}

std::u16string ListenerCountRequest::Url(int type, int typeKey) {
    return CConfig::Instance().GetApiServerHost() + u"/program_info_list/" + u"type/" + IntToText(type) +
           u"/type_key/" + IntToText(typeKey);
}

bool ListenerCountRequest::Request(int groupId, int type, int typeKey) {
    auto* task = new HttpTask(Url(type, typeKey));
    auto* event = new GetListenerCountEvent(groupId);
    if (HttpClient::GetInstance()->AddTask(task, event)) return true;
    delete task;
    delete event;
    return false;
}

std::u16string ListenerCountRequest::ChannelUrl(int channelKey) {
    return CConfig::Instance().GetStreamPlayHost() + u"/channel2/" + IntToText(channelKey) + u"/24";
}
