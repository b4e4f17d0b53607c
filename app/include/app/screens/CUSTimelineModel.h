#pragma once
// One row of the release timeline: an icon and title, the moment its relative time is
// computed from, a multi-line content text, and the row height that text needs.
//
// Main thread (filled by the release history screen, then read by its cells).

#include <platform_net/UIImage.h>
#include <platform_runtime/NSDate.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_uikit/UIFont.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class CUSTimelineModel : public NSObject {
    NS_CLASS(CUSTimelineModel, NSObject)
    NS_PROPERTY(UIImagePtr, modelIcon, setModelIcon, "&,N")
    NS_PROPERTY(std::optional<NSDate>, modelTime, setModelTime, "&,N")
    NS_PROPERTY(std::optional<std::string>, event, setEvent, "&,N")
    NS_PROPERTY(std::optional<std::string>, content, setContent, "&,N")
    NS_PROPERTY(bool, isLast, setIsLast, "N")
    NS_PROPERTY(int64_t, state, setState, "N")

public:
    // Declared for callers; nothing here uses it.
    UIFontPtr contentFont() const { return contentFont_.lock(); }
    void setContentFont(const UIFontPtr& font) { contentFont_ = font; }

    // heightForContent of the content (an absent content counts as empty).
    double cellHeight() const;
    // The height of `text` in the 10-point system font wrapped at 320 points, plus 45.
    static double heightForContent(const std::string& text);

    // "<<CUSTimelineModel: 0x…> time=…, event=…, content=…, cellHeight=…>".
    std::string description() const override;

    NS_READONLY_PROPERTY(double, cellHeight, "R,N", cellHeight)

private:
    std::weak_ptr<UIFont> contentFont_;
};

using CUSTimelineModelPtr = std::shared_ptr<CUSTimelineModel>;
