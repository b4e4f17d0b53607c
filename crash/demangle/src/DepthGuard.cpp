#include "NameParser.h"

#include <crash_demangle/Limits.h>

namespace ZUDDemangle {

DepthGuard::DepthGuard(NameParser& parser) : parser_(parser) { ++parser_.depth_; }

bool DepthGuard::exceeded() const { return parser_.depth_ > Limits::kMaxParseDepth; }

}  // namespace ZUDDemangle
