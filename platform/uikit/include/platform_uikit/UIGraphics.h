#pragma once
// The current drawing context of the calling thread, image contexts, and the
// image renderer that draws into a fresh context and returns the image.
//
// Contexts are per thread; the renderer may be used on any thread.

#include <platform_uikit/CGContext.h>

#include <platform_net/UIImage.h>

#include <functional>
#include <memory>

// The innermost pushed context of this thread, or null.
CGContext* UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(CGContext* context);
void UIGraphicsPopContext();

// A bitmap context of `size` points at `scale` (0: the main screen's) made current.
void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, double scale);
void UIGraphicsBeginImageContext(CGSize size);
// The current image context's pixels as an image; null without one.
UIImagePtr UIGraphicsGetImageFromCurrentImageContext();
void UIGraphicsEndImageContext();

class UIGraphicsImageRendererFormat {
public:
    double scale = 0;  // 0: the main screen's
    bool opaque = false;
    static UIGraphicsImageRendererFormat defaultFormat() { return {}; }
};

class UIGraphicsImageRendererContext {
public:
    explicit UIGraphicsImageRendererContext(CGContext& context) : context_(context) {}
    ::CGContext& cgContext() const { return context_; }
    void fillRect(CGRect rect) { context_.fillRect(rect); }
    void strokeRect(CGRect rect) { context_.strokeRect(rect); }

private:
    ::CGContext& context_;
};

class UIGraphicsImageRenderer {
public:
    explicit UIGraphicsImageRenderer(CGSize size, UIGraphicsImageRendererFormat format = {});
    UIImagePtr imageWithActions(const std::function<void(UIGraphicsImageRendererContext&)>& actions) const;
    std::vector<uint8_t> PNGDataWithActions(const std::function<void(UIGraphicsImageRendererContext&)>& actions) const;

private:
    CGSize size_;
    UIGraphicsImageRendererFormat format_;
};
