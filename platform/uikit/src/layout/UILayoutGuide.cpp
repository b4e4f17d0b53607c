#include <platform_uikit/UILayoutGuide.h>

#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIView.h>
#include <platform_uikit/UIWindow.h>

#include <algorithm>

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
        // The guides measure the status bar, translucent bars and the home
        // area also before 11, where safeAreaInsets answers nothing.
        case Kind::TopLayoutGuide: {
            double top = view->computedSafeAreaInsets().top;
            return CGRectMake(b.origin.x, b.origin.y, b.size.width, top);
        }
        case Kind::BottomLayoutGuide: {
            double bottom = view->computedSafeAreaInsets().bottom;
            return CGRectMake(b.origin.x, b.origin.y + b.size.height - bottom, b.size.width, bottom);
        }
    }
    return CGRectZero;
}
