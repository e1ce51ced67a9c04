// "--import-package PATH" and "--print-catalogue": the catalogue from the command line, without
// windows. The import takes a zip archive or an unpacked folder and replaces the catalogue as a
// downloaded package does; the print loads the catalogue and writes it as JSON.
// Threading: run on the main thread by main(); the write queue's writer thread is never started.
#include <json/json.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "storage/Config.h"
#include "storage/CppSQLite3DB.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/DatabasePath.h"
#include "storage/Radio.h"
#include "storage/RadioManagement.h"
#include "storage/SqlWriteQueue.h"
#include "storage/UnzipToFolder.h"

namespace {

bool Readable(const std::u16string& path, int mode) {
    return access(NativePath(path).c_str(), mode) == 0;
}

int Fail(const std::string& message, int code) {
    std::fprintf(stderr, "loxanradio: %s\n", message.c_str());
    return code;
}

// Removes the unpacked copy of an archive on every way out.
class TempFolder {
public:
    ~TempFolder() {
        if (!path.empty()) RemoveDirectoryTree(path);
    }
    std::u16string path;
};

Json::Value NodeJson(const TreeNode* node) {
    Json::Value v(Json::objectValue);
    v["name"] = Utf16ToUtf8(node->GetName());
    v["id"] = node->id;
    v["type"] = node->GetType();
    if (node->GetType() == TYPE_RADIO) {
        const auto* r = static_cast<const CRadio*>(node);
        v["url"] = Utf16ToUtf8(r->radioUrl);
        if (!r->province.empty()) v["province"] = Utf16ToUtf8(r->province);
    }
    Json::Value children(Json::arrayValue);
    for (const TreeNode* c = node->GetFirstChild(); c; c = c->GetNext()) children.append(NodeJson(c));
    v["children"] = std::move(children);
    return v;
}

}  // namespace

int RunImportPackage(const std::vector<std::u16string>& args) {
    if (args.size() != 1)
        return Fail("usage: loxanradio --import-package PATH (a zip archive or a folder)", 2);
    const std::u16string& path = args[0];
    const std::string shown = Utf16ToUtf8(path);
    if (!PathExists(path)) return Fail("cannot import " + shown + ": no such file or folder", 2);

    TempFolder unpacked;
    std::u16string folder = path;
    if (IsDirectory(path)) {
        if (!Readable(path, R_OK | X_OK))
            return Fail("cannot import " + shown + ": the folder cannot be read", 2);
    } else {
        if (!Readable(path, R_OK)) return Fail("cannot import " + shown + ": the file cannot be read", 2);
        unpacked.path = CRadioManagement::MakePackageTempFolder();
        if (unpacked.path.empty())
            return Fail("cannot import " + shown + ": no temporary folder to unpack into", 2);
        if (!UnzipToFolder(path, unpacked.path)) {
            return Fail("cannot import " + shown + ": not a zip archive that can be unpacked", 2);
        }
        folder = unpacked.path;
    }
    if (!Readable(JoinPath(folder, u"channel.txt"), R_OK)) {
        return Fail("cannot import " + shown + ": no readable channel.txt, so it is no resource package", 2);
    }

    try {
        CRadioManagement store;
        store.QueueCatalogueDelete();
        store.ImportPackageFolder(folder);
        CppSQLite3DB db;
        db.Open(DatabasePath());
        const int stations = db.QueryScalar(u"select count(*) from channel_v2");
        const int locations = db.QueryScalar(u"select count(*) from location_v2");
        const int categories = db.QueryScalar(u"select count(*) from category_v2");
        db.Close();
        SqlWriteQueue::DestroyInstance();
        std::printf("imported %d stations, %d locations, %d categories\n", stations, locations, categories);
        return 0;
    } catch (const CppSQLite3Exception& e) {
        return Fail(std::string("the catalogue database failed: ") + e.what(), 1);
    }
}

int RunPrintCatalogue(const std::vector<std::u16string>& args) {
    if (!args.empty()) return Fail("usage: loxanradio --print-catalogue", 2);
    try {
        // A first load may import a package and reset the installed package version; keep that.
        CConfig& config = CConfig::Instance();
        config.Load();
        const int version = config.Version;
        auto store = std::make_unique<CRadioManagement>();
        store->Load();
        if (config.Version != version) config.Save();
        SqlWriteQueue::DestroyInstance();

        Json::Value roots(Json::arrayValue);
        for (const TreeNode* n = store->First(); n; n = n->GetNext()) roots.append(NodeJson(n));
        Json::StreamWriterBuilder builder;
        builder["emitUTF8"] = true;
        builder["indentation"] = " ";
        std::printf("%s\n", Json::writeString(builder, roots).c_str());
        return 0;
    } catch (const CppSQLite3Exception& e) {
        return Fail(std::string("the catalogue database failed: ") + e.what(), 1);
    }
}
