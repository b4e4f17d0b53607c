#include <platform_uikit/UIGraphics.h>

#include <platform_uikit/UIScreen.h>

#include <vector>

namespace {

struct Entry {
    CGContext* context;
    std::unique_ptr<CGContext> owned;  // image contexts belong to the stack
};

thread_local std::vector<Entry> tlsStack;

double effectiveScale(double scale) { return scale > 0 ? scale : UIScreen::mainScreen()->scale(); }

}  // namespace

CGContext* UIGraphicsGetCurrentContext() { return tlsStack.empty() ? nullptr : tlsStack.back().context; }

void UIGraphicsPushContext(CGContext* context) { tlsStack.push_back({context, nullptr}); }

void UIGraphicsPopContext() {
    if (!tlsStack.empty()) tlsStack.pop_back();
}

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, double scale) {
    auto context = std::make_unique<CGContext>(size, effectiveScale(scale), opaque);
    CGContext* raw = context.get();
    tlsStack.push_back({raw, std::move(context)});
}

void UIGraphicsBeginImageContext(CGSize size) { UIGraphicsBeginImageContextWithOptions(size, false, 1); }

UIImagePtr UIGraphicsGetImageFromCurrentImageContext() {
    for (auto it = tlsStack.rbegin(); it != tlsStack.rend(); ++it) {
        if (!it->owned) continue;
        auto image = it->owned->makeImage();
        return image ? UIImage::imageWithCGImage(image, it->owned->scale(), UIImageOrientationUp) : nullptr;
    }
    return nullptr;
}

void UIGraphicsEndImageContext() {
    for (auto it = tlsStack.rbegin(); it != tlsStack.rend(); ++it) {
        if (it->owned) {
            tlsStack.erase(std::next(it).base());
            return;
        }
    }
}

UIGraphicsImageRenderer::UIGraphicsImageRenderer(CGSize size, UIGraphicsImageRendererFormat format)
    : size_(size), format_(format) {}

UIImagePtr UIGraphicsImageRenderer::imageWithActions(
    const std::function<void(UIGraphicsImageRendererContext&)>& actions) const {
    double scale = effectiveScale(format_.scale);
    CGContext context(size_, scale, format_.opaque);
    UIGraphicsPushContext(&context);
    UIGraphicsImageRendererContext rendererContext(context);
    if (actions) actions(rendererContext);
    UIGraphicsPopContext();
    auto image = context.makeImage();
    return image ? UIImage::imageWithCGImage(image, scale, UIImageOrientationUp) : nullptr;
}

std::vector<uint8_t> UIGraphicsImageRenderer::PNGDataWithActions(
    const std::function<void(UIGraphicsImageRendererContext&)>& actions) const {
    return UIImagePNGRepresentation(imageWithActions(actions));
}
