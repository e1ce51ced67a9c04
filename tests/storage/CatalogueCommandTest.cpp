// Runs the program's headless catalogue entries as a user would, each test with its own data folder.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/storage/StoresFixtures.h"
#include "tests/support/TestSupport.h"

using storesfixtures::WriteUtf16File;

namespace {

struct Outcome {
    int code = -1;
    std::string out;
    std::string err;
};

Outcome Loxanradio(const std::string& appdata, const std::string& args) {
    const std::string errFile = appdata + "/stderr.txt";
    const std::string cmd = "APPDATA='" + appdata + "' '" + testsupport::BinDir() + "/loxanradio' " + args +
                            " 2>'" + errFile + "'";
    Outcome r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0) r.out.append(buf, n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = testsupport::ReadFile(errFile);
    return r;
}

std::string WritePackage(const std::string& dir) {
    testsupport::MakeTempDir(dir.substr(testsupport::TempRoot().size() + 1));
    WriteUtf16File(dir + "/channel.txt",
                   "h\n1,1,Bob's FM,https://a/1,11,北京,1,5,FM,x\n2,2,Net,https://a/2,1,网络,1,5,FM,x\n");
    WriteUtf16File(dir + "/location.txt", "h\n1,网络\n11,北京\n42,推荐\n");
    WriteUtf16File(dir + "/category.txt", "h\n3,News,1\n");
    WriteUtf16File(dir + "/category_map.txt", "h\n1,1,Bob's FM,3,News\n");
    return dir;
}

Json::Value Catalogue(const std::string& appdata) {
    const Outcome r = Loxanradio(appdata, "--print-catalogue");
    EXPECT_EQ(r.code, 0) << r.err;
    Json::Value v;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    EXPECT_TRUE(reader->parse(r.out.data(), r.out.data() + r.out.size(), &v, &errors)) << errors;
    return v;
}

class CatalogueCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        appdata_ = testsupport::MakeTempDir(std::string("cmd-") +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string appdata_;
};

}  // namespace

TEST_F(CatalogueCommandTest, ImportsAFolderOrAZipAndPrintsTheCatalogue) {
    const std::string pkg = WritePackage(appdata_ + "/pkg");
    Outcome r = Loxanradio(appdata_, "--import-package '" + pkg + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "imported 2 stations, 3 locations, 1 categories\n");

    const Json::Value roots = Catalogue(appdata_);
    ASSERT_EQ(roots.size(), 4u);
    EXPECT_EQ(roots[0]["name"].asString(), "推荐电台");
    EXPECT_EQ(roots[0]["id"].asInt(), 2000042);
    EXPECT_EQ(roots[0]["type"].asInt(), 1);
    EXPECT_EQ(roots[1]["children"][0]["url"].asString(), "https://a/2");
    EXPECT_FALSE(roots[1]["children"][0].isMember("province"));
    const Json::Value beijing = roots[2]["children"][0];
    EXPECT_EQ(beijing["id"].asInt(), 2000011);
    EXPECT_EQ(beijing["children"][0]["name"].asString(), "Bob's FM");
    EXPECT_EQ(beijing["children"][0]["province"].asString(), "北京");
    EXPECT_EQ(beijing["children"][0]["type"].asInt(), 2);
    EXPECT_EQ(roots[3]["children"][0]["children"][0]["id"].asInt(), 1);

    const std::string zip = appdata_ + "/pkg.zip";
    storesfixtures::WriteZip(zip, {{"channel.txt", testsupport::ReadFile(pkg + "/channel.txt")},
                                   {"location.txt", testsupport::ReadFile(pkg + "/location.txt")}});
    r = Loxanradio(appdata_, "--import-package '" + zip + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "imported 2 stations, 3 locations, 0 categories\n");
}

TEST_F(CatalogueCommandTest, RefusesWhatIsNoPackageAndKeepsTheCatalogue) {
    const std::string pkg = WritePackage(appdata_ + "/pkg");
    ASSERT_EQ(Loxanradio(appdata_, "--import-package '" + pkg + "'").code, 0);
    testsupport::WriteFile(appdata_ + "/not.zip", "no zip at all");
    testsupport::MakeTempDir(appdata_.substr(testsupport::TempRoot().size() + 1) + "/empty");
    for (const std::string& bad : {appdata_ + "/missing", appdata_ + "/not.zip", appdata_ + "/empty"}) {
        SCOPED_TRACE(bad);
        const Outcome r = Loxanradio(appdata_, "--import-package '" + bad + "'");
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("cannot import"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Catalogue(appdata_)[2]["children"][0]["children"][0]["name"].asString(), "Bob's FM");
}
