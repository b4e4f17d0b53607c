#include <platform_uikit/UILayoutGuide.h>

#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

#include <algorithm>

namespace {

// The screen's safe-area insets that overlap the view, in its own space;
// unlike UIView::safeAreaInsets also before 11, where the top and bottom
// layout guides already followed the status bar and the home area.
UIEdgeInsets screenInsetsOverlapping(const UIView& view) {
    UIWindow* window = view.window();
    if (!window) return UIEdgeInsetsZero;
    auto* win = static_cast<const UIView*>(window);
    UIEdgeInsets w = UIScreen::mainScreen()->safeAreaInsets();
    CGRect r = view.convertRectToView(view.bounds(), win);
    CGSize size = win->bounds().size;
    return UIEdgeInsetsMake(std::max(0.0, w.top - CGRectGetMinY(r)), std::max(0.0, w.left - CGRectGetMinX(r)),
                            std::max(0.0, CGRectGetMaxY(r) - (size.height - w.bottom)),
                            std::max(0.0, CGRectGetMaxX(r) - (size.width - w.right)));
}

}  // namespace

CGRect UILayoutGuide::layoutFrame() const {
    auto view = owningView();
    if (!view) return CGRectZero;
    CGRect b = view->bounds();
    switch (kind_) {
        case Kind::SafeArea: {
            UIEdgeInsets in = view->safeAreaInsets();
            return CGRectMake(b.origin.x + in.left, b.origin.y + in.top,
                              std::max(0.0, b.size.width - in.left - in.right),
                              std::max(0.0, b.size.height - in.top - in.bottom));
        }
        case Kind::TopLayoutGuide: {
            double top = screenInsetsOverlapping(*view).top;
            return CGRectMake(b.origin.x, b.origin.y, b.size.width, top);
        }
        case Kind::BottomLayoutGuide: {
            double bottom = screenInsetsOverlapping(*view).bottom;
            return CGRectMake(b.origin.x, b.origin.y + b.size.height - bottom, b.size.width, bottom);
        }
    }
    return CGRectZero;
}
