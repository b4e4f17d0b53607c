#include "WidgetImages.h"

#include <platform_foundation/NSDataFile.h>

namespace widgets_detail {

UIImagePtr imageFromBundle(const std::shared_ptr<NSBundle>& bundle, const std::string& name, const std::string& type) {
    if (!bundle) return nullptr;
    auto path = bundle->pathForResource(name, type);
    if (!path) return nullptr;
    auto bytes = NSDataFile::dataWithContentsOfFile(*path);
    if (!bytes) return nullptr;
    double scale = 1;
    if (name.size() > 3 && name.compare(name.size() - 3, 3, "@2x") == 0) scale = 2;
    if (name.size() > 3 && name.compare(name.size() - 3, 3, "@3x") == 0) scale = 3;
    return UIImage::imageWithData(*bytes, scale);
}

}  // namespace widgets_detail
