// The station catalogue: imports resource packages (four UTF-16 text files) into the tables
// channel_v2, location_v2, channel_category_map_v2 and category_v2, and builds from them the
// four roots the catalogue tree shows ("推荐电台", "网络电台", "地域电台", "主题电台").
// Threading: UI thread only. The import's rows are written by the write queue's Flush, which
// the import calls itself, so they are in the file when it returns.
#pragma once

#include <string>
#include <string_view>

#include "storage/DataManagement.h"
#include "storage/TableSchema.h"

class CppSQLite3DB;
class Group;

class CRadioManagement : public DataManagement {
public:
    // Fixed ids of the four roots. Region groups are 2000000 + location key, theme groups
    // 1000000 + category key; the recommended and network roots carry the ids their locations
    // (42 and 1) would have as region groups.
    static constexpr int kRecommendedLocation = 42;
    static constexpr int kNetworkLocation = 1;
    static constexpr int kRegionBase = 2000000;
    static constexpr int kThemeBase = 1000000;
    static constexpr int kRecommendedRootId = kRegionBase + kRecommendedLocation;
    static constexpr int kNetworkRootId = kRegionBase + kNetworkLocation;
    static constexpr int kRegionRootId = kRegionBase;
    static constexpr int kThemeRootId = kThemeBase;

    CRadioManagement();

    // Top level takes only groups; below that the base rules apply.
    bool Append(TreeNode* node, TreeNode* parent, TreeNode* after) override;
    bool Clear() override;
    // Creates the tables when missing; when the catalogue needs an import, sets the installed
    // package version to 0 and imports the companion application's package, or the bundled
    // package when there is no usable companion package. Then rebuilds the four roots. Database
    // errors leave as CppSQLite3Exception.
    bool Load() override;

    // Queues "delete from <table>" for the four tables. Callers queue it before
    // ImportPackageFolder so the deletions run first, in the import's transaction.
    void QueueCatalogueDelete() const;
    // Reads channel.txt, location.txt, category_map.txt and category.txt of `folder` (missing
    // files contribute nothing), queues one insert per accepted line and flushes the write queue.
    // Creates the tables first when they are missing. True when all four files were read.
    bool ImportPackageFolder(std::u16string_view folder);
    // Unpacks the archive into a private temporary folder, imports that folder and removes it.
    // False (nothing imported) when the archive cannot be unpacked.
    bool ImportPackageZip(std::u16string_view zipPath);
    // A new folder of our own under the temporary folder for unpacking a package; empty when
    // none could be made. The caller removes it.
    static std::u16string MakePackageTempFolder();
    // Imports the companion application's package when its file exists; false when there is
    // none or it cannot be unpacked. The companion's own files are only read.
    bool ImportCompanionPackage();
    // True when one of the four tables is missing or empty; false for a null connection.
    bool NeedsImport(CppSQLite3DB* db) const;

    // The first group in depth-first order with that id; null when none.
    Group* FindGroup(int id) const;

    // The package imported on a first start without a companion package; by default
    // data/radio_resource.zip beside the program (or in share/loxanradio of an install).
    void SetBundledPackageFile(std::u16string_view path) { m_bundledPackage = std::u16string(path); }
    static std::u16string DefaultBundledPackageFile();

private:
    void EnsureTables(CppSQLite3DB& db) const;
    void BuildLocationRoots(CppSQLite3DB& db, int64_t now);
    void BuildThemeRoot(CppSQLite3DB& db, int64_t now);

    TableSchema m_channel;
    TableSchema m_location;
    TableSchema m_categoryMap;
    TableSchema m_category;
    std::u16string m_bundledPackage;
};
