// What the play-state logic asks of the catalogue and favourites trees: store a measured speed
// (and show its speed mark), select a station, and name the entries the speed test walks.
// Threading: main window's thread only. The default methods do nothing and know no nodes.
#pragma once

#include <string>

class CRadio;
class TreeNode;

class IStationTrees {
public:
    virtual ~IStationTrees() = default;
    // The catalogue tree stores `speed_ms` (-1 unreachable) as the station's speed.
    virtual void SetCatalogueSpeed(CRadio* /*station*/, int /*speed_ms*/) {}
    // The favourites tree stores the speed of its station named `name`, when it holds one.
    virtual void SetFavouriteSpeed(const std::u16string& /*name*/, int /*speed_ms*/) {}
    virtual bool InFavourites(const std::u16string& /*name*/) const { return false; }
    // Selects the station in the favourites tree (`favourites`) or the catalogue tree.
    virtual void SelectStation(TreeNode* /*station*/, bool /*favourites*/) {}
    // The catalogue tree's selected entry, and the first top-level node of each tree.
    virtual TreeNode* CatalogueSelection() const { return nullptr; }
    virtual TreeNode* CatalogueFirst() const { return nullptr; }
    virtual TreeNode* FavouritesFirst() const { return nullptr; }
};
