// Radio station nodes.
#include "storage/Radio.h"

#include <ctime>

CRadio::CRadio() : TreeNode(0, {}), CreateTime(static_cast<int64_t>(std::time(nullptr))) {}

CRadio::CRadio(std::u16string_view name, std::u16string_view radioUrl, std::u16string_view webUrl,
               std::u16string_view iconUrl, std::u16string_view playbill, std::u16string_view country,
               std::u16string_view province, std::u16string_view city, std::u16string_view Frequency,
               std::u16string_view kind, int64_t CreateTime, int id, int64_t LastPlayTime)
    : TreeNode(id, name),
      radioUrl(radioUrl),
      webUrl(webUrl),
      iconUrl(iconUrl),
      playbill(playbill),
      country(country),
      province(province),
      city(city),
      Frequency(Frequency),
      kind(kind),
      CreateTime(CreateTime != 0 ? CreateTime : static_cast<int64_t>(std::time(nullptr))),
      LastPlayTime(LastPlayTime) {}

bool CRadio::SetName(std::u16string_view name) {
    text = std::u16string(name);
    return true;
}

void CRadio::CopyFrom(const CRadio& other) {
    if (&other == this) return;
    id = other.id;
    text = other.GetName();
    radioUrl = other.radioUrl;
    country = other.country;
    province = other.province;
    city = other.city;
    webUrl = other.webUrl;
    iconUrl = other.iconUrl;
    playbill = other.playbill;
    CreateTime = other.CreateTime;
    LastPlayTime = other.LastPlayTime;
    listenerCount = other.listenerCount;
    Frequency = other.Frequency;
    kind = other.kind;
    Speed = other.Speed;
}
