#include <platform_uikit/UIImageNamed.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <platform_foundation/NSProcessInfo.h>
#include <platform_uikit/UIScreen.h>

namespace {

std::optional<std::vector<uint8_t>> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Scales to try for a display scale: that one, the larger ones upwards, the smaller downwards.
std::vector<int> scaleOrder(double displayScale) {
    int wanted = displayScale >= 2.5 ? 3 : displayScale >= 1.5 ? 2 : 1;
    std::vector<int> order{wanted};
    for (int s = wanted + 1; s <= 3; ++s) order.push_back(s);
    for (int s = wanted - 1; s >= 1; --s) order.push_back(s);
    return order;
}

bool darkVariantsAvailable() {
    return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({13, 0, 0});
}

}  // namespace

UIImagePtr UIImageNamed(std::string_view name, const std::shared_ptr<NSBundle>& bundle, const UITraitCollectionPtr& traits) {
    if (name.empty() || name.find('/') != std::string_view::npos) return nullptr;
    auto source = bundle ? bundle : NSBundle::mainBundle();
    if (!source) return nullptr;
    auto current = traits ? traits : UITraitCollection::currentTraitCollection();
    double displayScale = current && current->displayScale() > 0 ? current->displayScale() : UIScreen::mainScreen()->scale();
    bool dark = current && current->userInterfaceStyle() == UIUserInterfaceStyleDark && darkVariantsAvailable();

    std::string base(name);
    std::vector<std::string> types{".png", ".jpg"};
    std::filesystem::path asGiven(base);
    std::string extension = asGiven.extension().string();
    if (extension == ".png" || extension == ".jpg" || extension == ".jpeg" || extension == ".gif") {
        types = {extension};
        base = asGiven.stem().string();
    }

    std::filesystem::path folder = source->resourcePath();
    std::vector<std::string> appearances;
    if (dark) appearances.push_back("~dark");
    appearances.push_back("");
    for (const std::string& appearance : appearances) {
        for (int scale : scaleOrder(displayScale)) {
            std::string suffix = scale == 1 ? "" : "@" + std::to_string(scale) + "x";
            for (const std::string& type : types) {
                auto bytes = readFile(folder / (base + appearance + suffix + type));
                if (!bytes) continue;
                UIImagePtr image = UIImage::imageWithData(*bytes, scale);
                if (!image) return nullptr;
                image->setName(std::string(name));
                return image;
            }
        }
    }
    return nullptr;
}
