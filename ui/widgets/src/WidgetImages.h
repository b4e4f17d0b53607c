#pragma once
// Reading an image file of a resource bundle; "name@2x" gives scale 2.

#include <platform_foundation/NSBundle.h>
#include <platform_net/UIImage.h>

#include <memory>
#include <string>

namespace widgets_detail {
// nullptr when the bundle, the file or its decoding is missing.
UIImagePtr imageFromBundle(const std::shared_ptr<NSBundle>& bundle, const std::string& name, const std::string& type);
}  // namespace widgets_detail
