#include "tests/storage/StoresFixtures.h"

#include <zip.h>

#include <stdexcept>

#include "platform/Text.h"
#include "storage/DatabasePath.h"
#include "storage/SqlWriteQueue.h"
#include "tests/support/TestSupport.h"

namespace storesfixtures {

void WriteUtf16File(const std::string& path, const std::string& utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    std::string bytes = "\xff\xfe";
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    testsupport::WriteFile(path, bytes);
}

void WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
    zipFile z = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!z) throw std::runtime_error("cannot create " + path);
    for (const auto& [name, content] : entries) {
        zip_fileinfo info{};
        zipOpenNewFileInZip(z, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_DEFAULT_COMPRESSION);
        if (!content.empty()) zipWriteInFileInZip(z, content.data(), static_cast<unsigned>(content.size()));
        zipCloseFileInZip(z);
    }
    zipClose(z, nullptr);
}

}  // namespace storesfixtures

namespace storesfixtures {

std::string UseFreshDatabase(const std::string& name) {
    SqlWriteQueue::DestroyInstance();
    const std::string path = testsupport::MakeTempDir("db-" + name) + "/LXRadio.db";
    SetDatabasePath(Utf8ToUtf16(path));
    return path;
}

}  // namespace storesfixtures
