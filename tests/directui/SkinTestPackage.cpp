#include "tests/directui/SkinTestPackage.h"

#include <stdlib.h>
#include <unistd.h>
#include <zip.h>

#include <fstream>
#include <sstream>

#include "platform/gfx/Bitmap.h"

namespace skintest {

bool WriteZip(const std::string& path, const std::vector<ZipEntry>& entries) {
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!zf) return false;
    bool ok = true;
    for (const ZipEntry& e : entries) {
        zip_fileinfo info{};
        ok = ok && zipOpenNewFileInZip64(zf, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                         Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zf, e.bytes.data(), static_cast<unsigned>(e.bytes.size())) == ZIP_OK;
        ok = ok && zipCloseFileInZip(zf) == ZIP_OK;
    }
    return zipClose(zf, nullptr) == ZIP_OK && ok;
}

std::string PngBytes(const Bitmap& b) {
    const char* tmp = getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/skinpng.XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) return {};
    close(fd);
    std::string bytes;
    if (b.SavePng(path.c_str())) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        bytes = all.str();
    }
    unlink(path.c_str());
    return bytes;
}

std::string PngBytes(int w, int h, uint32_t argb, uint32_t corner) {
    Bitmap b(w, h, argb);
    if (corner) b.SetPixel(0, 0, corner);
    return PngBytes(b);
}

std::string DefinitionXml(const std::string& version, const std::string& name) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<!-- test skin -->\r\n"
           "<skin version=\"" +
           version + "\" name=\"" + name +
           "\" MainTone=\"$FF2C8CC0\" DisFontColor=\"$FF808080\"\r\n"
           "      FontName=\"宋体\" FontSize=\"9\" FontColor=\"$FE000000\">\r\n"
           "  <Common>\r\n"
           "    <DirectUIButton FontSize=\"10\" FontColor=\"-65536\"/>\r\n"
           "    <DirectUITest Kind=\"common\"/>\r\n"
           "  </Common>\r\n"
           "  <Normal>\r\n"
           "    <NormalMainPlayWnd Position=\"0,0,400,300\">\r\n"
           "      <MainPanel Position=\"10,10,380,280\" Anchors=\"left,top\">\r\n"
           "        <PlayBtn Position=\"20,30,40,24\" Anchors=\"right\" BtnImg=\"Play.PNG\" "
           "TextColor=\"$80FF0000\"\r\n"
           "                 Big=\"4294901760\" Flag=\"1\" Three=\"1,2,3\" Skin5Img=\"nowhere.png\"/>\r\n"
           "      </MainPanel>\r\n"
           "      <StopBtn BtnImg=\"skin/stop.png\"/>\r\n"
           "    </NormalMainPlayWnd>\r\n"
           "  </Normal>\r\n"
           "</skin>\r\n";
}

}  // namespace skintest
