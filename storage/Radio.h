// A radio station node and the station record that several tables store; the field names are
// the tables' column names. The name is the base's text, the id the base's id.
// Threading: UI thread only (workers get pointers but only the UI thread changes a station).
#pragma once

#include <cstdint>

#include "storage/RadioText.h"
#include "storage/TreeNode.h"

class CRadio : public TreeNode {
public:
    // Empty station: texts empty, created now, never played, id 0, speed not measured.
    CRadio();
    // Every stored field; a CreateTime of 0 becomes the current time.
    CRadio(std::u16string_view name, std::u16string_view radioUrl, std::u16string_view webUrl,
           std::u16string_view iconUrl, std::u16string_view playbill, std::u16string_view country,
           std::u16string_view province, std::u16string_view city, std::u16string_view Frequency,
           std::u16string_view kind, int64_t CreateTime, int id, int64_t LastPlayTime);

    std::u16string GetName() const override { return text; }
    bool SetName(std::u16string_view name) override;
    std::u16string GetUrl() const override { return radioUrl; }
    int GetType() const override { return TYPE_RADIO; }
    int GetChildType() const override { return 0; }

    // Copies the station record (id, name, addresses, places, times, listener count, frequency,
    // kind, speed). The node's own links and view item stay, so a node already in a tree keeps
    // its place.
    void CopyFrom(const CRadio& other);

    std::u16string radioUrl;  // stream address, what playback opens
    // Fields a catalogue station leaves empty take one pointer while empty (RadioText); read
    // them with str() where a std::u16string_view is wanted.
    RadioText webUrl;  // home page
    RadioText iconUrl;
    RadioText playbill;  // programme list address
    RadioText country;
    std::u16string province;
    RadioText city;
    RadioText Frequency;  // as typed, e.g. "97.4MHz"
    RadioText kind;
    int64_t CreateTime = 0;      // seconds since 1970
    int64_t LastPlayTime = 0;    // seconds since 1970; 0 = never
    uint32_t listenerCount = 0;  // from listener-count results; never stored
    // Connect time of the last play in ms; -1 playing failed; -2 never measured.
    int Speed = -2;
};
