// The bundled offline catalogue: every document maps into its model, the generator's rerun
// gives the committed bytes, and the documents keep the shapes the screens are tested with.

#include <gtest/gtest.h>

#include <app/models/IpswModel.h>
#include <app/models/IpswV4Model.h>
#include <app/models/RHModel.h>
#include <platform_foundation/NSJSONSerialization.h>

#include "CatalogueTestServer.h"

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

const std::string kCatalogue = std::string(PROJECT_SOURCE_DIR) + "/resources/catalogue";

Value readJSON(const fs::path& path) {
    NSErrorPtr error;
    Value v = NSJSONSerialization::JSONObjectWithData(apptest::readFile(path.string()), 0, &error);
    EXPECT_FALSE(error) << path;
    return v;
}

std::vector<fs::path> documentsIn(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(kCatalogue + "/" + folder))
        if (e.path().extension() == ".json") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(OfflineCatalogue, EveryDeviceDocumentMapsInBothVersions) {
    const auto v4 = documentsIn("api/ios/v4/device");
    const auto v3 = documentsIn("api/ios/v3/device");
    EXPECT_EQ(v4.size(), 127u);
    EXPECT_EQ(v3.size(), 127u);
    for (const auto& path : v4) {
        SCOPED_TRACE(path.string());
        NSErrorPtr error;
        auto device = MMModel::modelWithDictionary<IpswV4Model>(readJSON(path), &error);
        ASSERT_TRUE(device) << (error ? error->localizedDescription() : "");
        EXPECT_EQ(device->identifier(), path.stem().string());
        EXPECT_GE(device->firmwares().size(), 3u);
        EXPECT_LE(device->firmwares().size(), 60u);
    }
    for (const auto& path : v3) {
        SCOPED_TRACE(path.string());
        const std::string identifier = path.stem().string();
        NSErrorPtr error;
        auto device = MMModel::modelWithDictionary<IpswModel>(readJSON(path).objectForKey(Value(identifier)), &error);
        ASSERT_TRUE(device) << (error ? error->localizedDescription() : "");
        std::size_t signedCount = 0;
        for (const auto& f : device->firmwares()) signedCount += f->isSigned() ? 1 : 0;
        EXPECT_LE(signedCount, 3u);
    }
}

TEST(OfflineCatalogue, ReleaseListsMapOnceWrapped) {
    const struct {
        const char* file;
        std::size_t dates;
    } cases[] = {{"api/ios/v4/releases.json", 3}, {"api/ios/v4/releases-80.json", 80}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Value list = readJSON(kCatalogue + "/" + c.file);
        ASSERT_TRUE(list.isArray());
        NSErrorPtr error;
        auto history = MMModel::modelWithDictionary<RHModel>(Value(Value::Dictionary{{Value("rhitems"), list}}), &error);
        ASSERT_TRUE(history);
        EXPECT_EQ(history->rhitems().size(), c.dates);
    }
}

TEST(OfflineCatalogue, TheGeneratorRewritesTheSameBytes) {
    apptest::TempFolder out("catalogue");
    const std::string command = "/usr/bin/python3 '" + std::string(PROJECT_SOURCE_DIR) +
                                "/tools/make_offline_catalogue.py' '" + out.path() + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::size_t compared = 0;
    for (const auto& e : fs::recursive_directory_iterator(out.path())) {
        if (!e.is_regular_file()) continue;
        const std::string relative = fs::relative(e.path(), out.path()).string();
        SCOPED_TRACE(relative);
        EXPECT_EQ(apptest::readFile(e.path().string()), apptest::readFile(kCatalogue + "/" + relative));
        ++compared;
    }
    // Every device in two versions, minus the hand-written five, plus the release list.
    EXPECT_EQ(compared, 127u * 2 - 5 + 1);
}

}  // namespace
