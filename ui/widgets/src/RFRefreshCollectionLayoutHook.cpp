// Tells a collection view's footer about the content size a layout update
// makes, within the update: exchanged into the layout's
// "finalizeCollectionViewUpdates" slot once per process.

#include <ui_widgets/RFRefreshFooter.h>
#include <ui_widgets/RFRefreshSlots.h>

#include <platform_runtime/KeyValueObserving.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_uikit/CATransaction.h>
#include <platform_uikit/UICollectionView.h>
#include <platform_uikit/UICollectionViewLayout.h>

namespace {
constexpr const char* kHook = "rf_finalizeCollectionViewUpdates";

void checkFooter(UICollectionViewLayout& layout) {
    UICollectionView* view = layout.collectionView();
    if (!view) return;
    auto footer = rf_footer(*view);
    if (!footer) return;
    CGSize next = layout.collectionViewContentSize(), now = view->contentSize();
    if (next == now) return;
    Value::Dictionary change;
    change[Value(NSKeyValueChangeNewKey)] = Value(next);
    change[Value(NSKeyValueChangeOldKey)] = Value(now);
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    footer->scrollViewContentSizeDidChange(Value(std::move(change)));
    CATransaction::commit();
}
}  // namespace

NS_CLASS_LOAD(UICollectionViewLayout) {
    if (cls.ownInstanceMethod(kHook)) return;
    cls.addMethod(kHook, makeInstanceImp<void()>([](NSObject& self) {
                      // After the exchange the hook's name runs the platform's own operation.
                      invokeMethod<void()>(self, kHook);
                      checkFooter(static_cast<UICollectionViewLayout&>(self));
                  }));
    cls.exchangeInstanceMethods("finalizeCollectionViewUpdates", kHook);
}
