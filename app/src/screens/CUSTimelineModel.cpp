#include <app/screens/CUSTimelineModel.h>

#include <platform_uikit/NSAttributedString.h>

#include <cfloat>
#include <cstdio>

double CUSTimelineModel::heightForContent(const std::string& text) {
    NSAttributedString measured(text, {{NSFontAttributeName, Value(UIFont::systemFontOfSize(10))}});
    CGRect box = measured.boundingRectWithSize(CGSizeMake(320, FLT_MAX), NSStringDrawingUsesLineFragmentOrigin);
    return box.size.height + 45;
}

double CUSTimelineModel::cellHeight() const { return heightForContent(content().value_or("")); }

std::string CUSTimelineModel::description() const {
    auto orNull = [](const std::optional<std::string>& s) { return s ? *s : std::string("(null)"); };
    char height[64];
    std::snprintf(height, sizeof height, "%f", cellHeight());
    std::string time = modelTime() ? modelTime()->description() : std::string("(null)");
    return "<" + NSObject::description() + " time=" + time + ", event=" + orNull(event()) +
           ", content=" + orNull(content()) + ", cellHeight=" + height + ">";
}
