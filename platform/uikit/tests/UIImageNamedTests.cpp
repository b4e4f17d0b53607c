#include <platform_uikit/UIImageNamed.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include <platform_foundation/NSProcessInfo.h>

namespace {

// A bundle folder with icon files; each file is a solid square whose side says its scale
// (10 px per point of a 10-point icon at @1x, 20 at @2x, …) and whose red channel says light
// (0) or dark (255).
class NamedImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "named-images-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        bundle = NSBundle::bundleWithPath(folder);
    }
    void TearDown() override {
        NSProcessInfo::setOperatingSystemVersionForTesting(std::nullopt);
        std::filesystem::remove_all(folder);
    }
    void write(const std::string& file, int side, bool dark) {
        std::vector<uint8_t> rgba(static_cast<std::size_t>(side * side * 4));
        for (std::size_t i = 0; i < rgba.size(); i += 4) {
            rgba[i] = dark ? 255 : 0;
            rgba[i + 3] = 255;
        }
        auto bitmap = std::make_shared<CGImage>(side, side, 8, kCGColorSpaceModelRGB, kCGImageAlphaLast, rgba);
        auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(bitmap, 1, UIImageOrientationUp));
        std::ofstream(folder / file, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    }
    static UITraitCollectionPtr traits(double scale, UIUserInterfaceStyle style) {
        return std::make_shared<UITraitCollection>(style, UIUserInterfaceIdiomPhone, scale,
                                                   UIUserInterfaceSizeClassCompact, UIUserInterfaceSizeClassRegular);
    }

    std::filesystem::path folder;
    std::shared_ptr<NSBundle> bundle;
};

TEST_F(NamedImageTest, ScaleAndAppearanceChooseTheFile) {
    write("icon.png", 10, false);
    write("icon@2x.png", 20, false);
    write("icon@3x.png", 30, false);
    write("icon~dark@2x.png", 20, true);
    write("only1.png", 10, false);
    write("only3@3x.png", 30, false);
    write("photo.jpg", 10, false);  // PNG bytes under a JPEG name: decoded by content

    struct Case {
        const char* name;
        double scale;
        UIUserInterfaceStyle style;
        int osMajor;
        int pixels;          // 0: no image
        double imageScale;
        bool dark;
    } cases[] = {
        {"icon", 1, UIUserInterfaceStyleLight, 15, 10, 1, false},
        {"icon", 2, UIUserInterfaceStyleLight, 15, 20, 2, false},
        {"icon", 3, UIUserInterfaceStyleLight, 15, 30, 3, false},
        {"icon.png", 3, UIUserInterfaceStyleLight, 15, 30, 3, false},
        {"icon", 2, UIUserInterfaceStyleDark, 15, 20, 2, true},
        {"icon", 3, UIUserInterfaceStyleDark, 15, 20, 2, true},   // the only dark file beats a light @3x
        {"icon", 2, UIUserInterfaceStyleDark, 12, 20, 2, false},  // no dark variants before OS 13
        {"only1", 3, UIUserInterfaceStyleLight, 15, 10, 1, false},
        {"only3", 1, UIUserInterfaceStyleLight, 15, 30, 3, false},
        {"photo", 2, UIUserInterfaceStyleLight, 15, 10, 1, false},
        {"photo.png", 2, UIUserInterfaceStyleLight, 15, 0, 0, false},
        {"missing", 2, UIUserInterfaceStyleLight, 15, 0, 0, false},
        {"", 2, UIUserInterfaceStyleLight, 15, 0, 0, false},
        {"../icon", 2, UIUserInterfaceStyleLight, 15, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " @" + std::to_string(c.scale) + " style " + std::to_string(c.style) +
                     " OS " + std::to_string(c.osMajor));
        NSProcessInfo::setOperatingSystemVersionForTesting(NSOperatingSystemVersion{c.osMajor, 0, 0});
        UIImagePtr image = UIImageNamed(c.name, bundle, traits(c.scale, c.style));
        if (c.pixels == 0) {
            EXPECT_EQ(image, nullptr);
            continue;
        }
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->CGImage()->width(), static_cast<std::size_t>(c.pixels));
        EXPECT_EQ(image->scale(), c.imageScale);
        EXPECT_EQ(image->size().width, c.pixels / c.imageScale);
        EXPECT_EQ(image->CGImage()->pixelAt(0, 0)[0], c.dark ? 255 : 0);
        EXPECT_EQ(image->name(), c.name);
    }
}

TEST_F(NamedImageTest, TheCurrentTraitsAndACorruptFile) {
    write("icon@2x.png", 20, false);
    write("icon~dark@2x.png", 20, true);
    {
        UITraitCollection::Scope scope(traits(2, UIUserInterfaceStyleDark));
        auto image = UIImageNamed("icon", bundle);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->CGImage()->pixelAt(0, 0)[0], 255);
    }
    std::ofstream(folder / "broken.png") << "not a png";
    EXPECT_EQ(UIImageNamed("broken", bundle, traits(1, UIUserInterfaceStyleLight)), nullptr);
}

}  // namespace
