#include <app/screens/MainHeaderView.h>

#include <platform_uikit/UINib.h>

std::shared_ptr<MainHeaderView> MainHeaderView::initWithFrame(CGRect frame) {
    auto owner = std::make_shared<MainHeaderView>(frame);
    std::vector<Value> objects = loadNibNamed(NSBundle::mainBundle(), "MainHeaderView", owner);
    if (objects.empty()) return nullptr;
    auto view = objects.back().objectAs<MainHeaderView>();
    if (view) view->setFrame(frame);
    return view;
}
