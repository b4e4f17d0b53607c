#include <app_host/AppDriver.h>

#include <platform_foundation/NSFileManager.h>
#include <platform_foundation/SystemRecords.h>
#include <platform_net/AirplaneMode.h>
#include <platform_runtime/ObjCRuntime.h>
#include <platform_uikit/MFMailComposeViewController.h>
#include <platform_uikit/UIAlertController.h>
#include <platform_uikit/UIApplication.h>
#include <platform_uikit/UIButton.h>
#include <platform_uikit/UINavigationBar.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UIScreen.h>
#include <platform_uikit/UIScreenText.h>
#include <platform_uikit/UITabBarController.h>
#include <platform_uikit/UITableView.h>
#include <platform_uikit/UITouchInjection.h>
#include <platform_uikit/UITraitCollection.h>
#include <platform_uikit/UIWindow.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>

namespace {

constexpr double kBannerSeconds = 5;
constexpr double kCellHeight = 22;  // one text row of the screen text

bool shown(const UIView& view) {
    for (const UIView* v = &view; v; v = v->superview().get())
        if (v->isHidden() || v->alpha() <= 0.01) return false;
    return view.window() != nullptr;
}

CGRect inWindow(const UIView& view, CGRect rect) { return view.convertRectToView(rect, nullptr); }

UIViewControllerPtr topOf(UIViewControllerPtr controller) {
    for (int guard = 0; controller && guard < 64; ++guard) {
        if (auto presented = controller->presentedViewController()) {
            controller = presented;
        } else if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(controller);
                   tabs && tabs->selectedViewController()) {
            controller = tabs->selectedViewController();
        } else if (auto nav = std::dynamic_pointer_cast<UINavigationController>(controller);
                   nav && nav->topViewController()) {
            controller = nav->topViewController();
        } else {
            break;
        }
    }
    return controller;
}

std::shared_ptr<UINavigationController> navigationOf(const UIViewControllerPtr& controller) {
    if (!controller) return nullptr;
    if (auto nav = std::dynamic_pointer_cast<UINavigationController>(controller)) return nav;
    return controller->navigationController();
}

const char* stateName(UIApplicationState state) {
    switch (state) {
    case UIApplicationStateActive: return "active";
    case UIApplicationStateInactive: return "inactive";
    case UIApplicationStateBackground: return "background";
    }
    return "?";
}

std::uintmax_t recordsSize(const char* fileName) {
    std::error_code ec;
    auto size = std::filesystem::file_size(SystemRecords::path(fileName), ec);
    return ec ? 0 : size;
}

}  // namespace

AppDriver::AppDriver() = default;

UIViewControllerPtr AppDriver::frontController() const {
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window) return nullptr;
    return topOf(window->rootViewController());
}

std::shared_ptr<UITableView> AppDriver::frontTable() const {
    auto front = frontController();
    if (!front || !front->isViewLoaded()) return nullptr;
    std::deque<UIViewPtr> queue{front->viewIfLoaded()};
    while (!queue.empty()) {
        UIViewPtr view = queue.front();
        queue.pop_front();
        if (!view || view->isHidden()) continue;
        if (auto table = std::dynamic_pointer_cast<UITableView>(view); table && shown(*table)) return table;
        for (const auto& sub : view->subviews()) queue.push_back(sub);
    }
    return nullptr;
}

std::vector<NSIndexPath> AppDriver::rows(UITableView& table) const {
    std::vector<NSIndexPath> out;
    for (int64_t s = 0; s < table.numberOfSections(); ++s)
        for (int64_t r = 0; r < table.numberOfRowsInSection(s); ++r) out.push_back(NSIndexPath::indexPathForRow(r, s));
    return out;
}

void AppDriver::rememberCursor() {
    auto table = cursorTable_.lock();
    std::erase_if(leftCursors_, [&](const auto& entry) {
        auto other = entry.first.lock();
        return !other || other == table;
    });
    if (table && cursor_) leftCursors_.emplace_back(table, *cursor_);
}

void AppDriver::syncCursor() {
    auto table = frontTable();
    bool sameTable = table && cursorTable_.lock() == table;
    if (!sameTable) {
        rememberCursor();
        cursor_.reset();
        cursorTable_ = table;
        if (!table) return;
        for (const auto& [left, row] : leftCursors_)
            if (left.lock() == table) cursor_ = row;
    }
    auto all = rows(*table);
    if (all.empty()) {
        cursor_.reset();
        return;
    }
    if (cursor_ && std::binary_search(all.begin(), all.end(), *cursor_)) return;
    // A new table (or a row that went away): the first row on screen.
    auto visible = table->indexPathsForVisibleRows();
    cursor_ = visible.empty() ? all.front() : *std::min_element(visible.begin(), visible.end());
}

std::optional<NSIndexPath> AppDriver::cursor() {
    syncCursor();
    return cursor_;
}

std::optional<std::pair<int, int>> AppDriver::cursorTextRows() {
    syncCursor();
    auto table = cursorTable_.lock();
    if (!table || !cursor_) return std::nullopt;
    CGRect r = inWindow(*table, table->rectForRowAtIndexPath(*cursor_));
    CGRect visible = inWindow(*table, table->bounds());
    double top = std::max(CGRectGetMinY(r), CGRectGetMinY(visible));
    double bottom = std::min(CGRectGetMaxY(r), CGRectGetMaxY(visible));
    if (bottom <= top) return std::nullopt;
    int first = static_cast<int>(std::floor(top / kCellHeight));
    int last = static_cast<int>(std::floor((bottom - 0.5) / kCellHeight));
    return std::make_pair(first, std::max(first, last));
}

void AppDriver::moveCursor(long delta, bool toEdge) {
    syncCursor();
    auto table = cursorTable_.lock();
    if (!table || !cursor_) return;
    auto all = rows(*table);
    long at = std::lower_bound(all.begin(), all.end(), *cursor_) - all.begin();
    long target = toEdge ? (delta < 0 ? 0 : static_cast<long>(all.size()) - 1)
                         : std::clamp(at + delta, 0L, static_cast<long>(all.size()) - 1);
    cursor_ = all[static_cast<std::size_t>(target)];
    table->scrollToRowAtIndexPath(*cursor_, UITableViewScrollPositionNone, false);
    table->layoutIfNeeded();
}

bool AppDriver::tapView(UIView& view) {
    if (!shown(view)) return false;
    CGRect r = inWindow(view, view.bounds());
    UITouchInjection::tap(CGPointMake(CGRectGetMidX(r), CGRectGetMidY(r)), view.window());
    return true;
}

bool AppDriver::tapCursorRow() {
    syncCursor();
    auto table = cursorTable_.lock();
    if (!table || !cursor_) return false;
    table->scrollToRowAtIndexPath(*cursor_, UITableViewScrollPositionNone, false);
    table->layoutIfNeeded();
    CGRect row = table->rectForRowAtIndexPath(*cursor_);
    CGRect visible = table->bounds();
    CGRect part = CGRectIntersection(row, visible);
    if (CGRectIsEmpty(part)) return false;
    CGRect r = inWindow(*table, part);
    UITouchInjection::tap(CGPointMake(CGRectGetMidX(r), CGRectGetMidY(r)), table->window());
    return true;
}

bool AppDriver::tapTab(int index, bool next) {
    UIScreenText screen = UIScreenTextCapture();
    std::vector<const UIScreenElement*> tabs;
    for (const auto& e : screen.elements)
        if (e.kind == UIScreenElementKind::Tab) tabs.push_back(&e);
    if (tabs.empty()) return false;
    std::sort(tabs.begin(), tabs.end(), [](auto* a, auto* b) { return CGRectGetMinX(a->frame) < CGRectGetMinX(b->frame); });
    std::size_t target = 0;
    if (next) {
        std::size_t selected = 0;
        for (std::size_t i = 0; i < tabs.size(); ++i)
            if (tabs[i]->selected) selected = i;
        target = (selected + 1) % tabs.size();
    } else {
        if (index < 1 || static_cast<std::size_t>(index) > tabs.size()) return false;
        target = static_cast<std::size_t>(index - 1);
    }
    UITouchInjection::tap(tabs[target]->center());
    return true;
}

bool AppDriver::goBack() {
    auto nav = navigationOf(frontController());
    if (!nav) return false;
    auto back = nav->navigationBar()->backButton();
    return back && tapView(*back);
}

bool AppDriver::tapRightBarButton() {
    auto nav = navigationOf(frontController());
    if (!nav) return false;
    auto bar = nav->navigationBar();
    UIScreenText screen = UIScreenTextCapture();
    const UIScreenElement* best = nullptr;
    for (const auto& e : screen.elements) {
        auto view = e.view.lock();
        bool pressable = e.kind == UIScreenElementKind::Button || e.kind == UIScreenElementKind::Image ||
                         e.kind == UIScreenElementKind::Control;
        if (!view || !e.tappable || !pressable || !view->isDescendantOfView(bar.get())) continue;
        if (auto back = bar->backButton(); back && view->isDescendantOfView(back.get())) continue;
        if (!best || CGRectGetMaxX(e.frame) > CGRectGetMaxX(best->frame)) best = &e;
    }
    CGRect barRect = inWindow(*bar, bar->bounds());
    if (!best || CGRectGetMidX(best->frame) < CGRectGetMidX(barRect)) return false;
    UITouchInjection::tap(best->center());
    return true;
}

bool AppDriver::pullToRefresh() {
    auto table = frontTable();
    if (!table) return false;
    CGRect r = inWindow(*table, table->bounds());
    CGPoint from = CGPointMake(CGRectGetMidX(r), CGRectGetMinY(r) + 40);
    CGPoint to = CGPointMake(from.x, from.y + 260);
    UITouchInjection::drag(from, to, 26, table->window());
    return true;
}

bool AppDriver::perform(const HostKey& key) {
    auto app = UIApplication::sharedApplication();
    auto front = frontController();
    auto alert = std::dynamic_pointer_cast<UIAlertController>(front);
    auto mail = std::dynamic_pointer_cast<MFMailComposeViewController>(front);
    switch (key.action) {
    case HostAction::CursorUp: moveCursor(-1, false); return true;
    case HostAction::CursorDown: moveCursor(1, false); return true;
    case HostAction::PageUp:
    case HostAction::PageDown: {
        auto table = frontTable();
        long page = table ? std::max<long>(1, static_cast<long>(table->indexPathsForVisibleRows().size()) - 1) : 1;
        moveCursor(key.action == HostAction::PageUp ? -page : page, false);
        return true;
    }
    case HostAction::Home: moveCursor(-1, true); return true;
    case HostAction::End: moveCursor(1, true); return true;
    case HostAction::Enter:
        if (alert) {
            auto action = alert->preferredAction();
            if (!action) {
                for (const auto& a : alert->actions())
                    if (a->style() != UIAlertActionStyleCancel) action = a;
            }
            if (!action && !alert->actions().empty()) action = alert->actions().front();
            auto button = action ? alert->buttonForAction(action) : nullptr;
            return button && tapView(*button);
        }
        return tapCursorRow();
    case HostAction::Digit:
        if (alert) {
            const auto& actions = alert->actions();
            if (key.digit < 1 || static_cast<std::size_t>(key.digit) > actions.size()) return false;
            auto button = alert->buttonForAction(actions[static_cast<std::size_t>(key.digit - 1)]);
            return button && tapView(*button);
        }
        return tapTab(key.digit, false);
    case HostAction::NextTab: return !alert && tapTab(0, true);
    case HostAction::Back:
        if (alert) {
            for (const auto& a : alert->actions())
                if (a->style() == UIAlertActionStyleCancel)
                    if (auto button = alert->buttonForAction(a)) return tapView(*button);
            return false;
        }
        if (mail) {
            auto cancel = mail->cancelButton();
            return cancel && tapView(*cancel);
        }
        return goBack();
    case HostAction::Star: return !alert && tapRightBarButton();
    case HostAction::Send: {
        if (!mail) return false;
        auto send = mail->sendButton();
        return send && tapView(*send);
    }
    case HostAction::Refresh: return !alert && pullToRefresh();
    case HostAction::BackgroundToggle:
        if (app->applicationState() == UIApplicationStateBackground)
            app->simulateEnterForeground();
        else
            app->simulateEnterBackground();
        return true;
    case HostAction::BackgroundFetch: {
        auto before = recordsSize(UIApplication::kBackgroundFetchRecordsFile);
        if (app->simulateBackgroundFetch()) fetchRecordsAtAsk_ = before;
        return true;
    }
    case HostAction::Airplane: NetworkAirplaneMode::setOn(!NetworkAirplaneMode::isOn()); return true;
    case HostAction::Appearance: {
        auto screen = UIScreen::mainScreen();
        bool dark = screen->traitCollection()->userInterfaceStyle() == UIUserInterfaceStyleDark;
        screen->setUserInterfaceStyle(dark ? UIUserInterfaceStyleLight : UIUserInterfaceStyleDark);
        return true;
    }
    case HostAction::MemoryWarning: app->simulateMemoryWarning(); return true;
    case HostAction::Quit: quit_ = true; return true;
    case HostAction::Help: help_ = !help_; return true;
    }
    return false;
}

std::string AppDriver::present(const std::string& controllerClassName) {
    auto* cls = NSClassFromString(controllerClassName);
    auto controller = cls ? std::dynamic_pointer_cast<UIViewController>(cls->createInstance()) : nullptr;
    if (!controller) return "no view controller class named " + controllerClassName;
    auto window = UIApplication::sharedApplication()->keyWindow();
    auto tabs = window ? std::dynamic_pointer_cast<UITabBarController>(window->rootViewController()) : nullptr;
    if (!tabs || tabs->viewControllers().empty()) return "the app shows no tabs to present on";
    tabs->setSelectedIndex(0);
    auto nav = std::dynamic_pointer_cast<UINavigationController>(tabs->viewControllers().front());
    if (!nav) return "the first tab has no navigation stack";
    nav->pushViewController(controller, false);
    return {};
}

void AppDriver::noteBanner(const std::string& title, const std::string& body) {
    banner_ = title.empty() ? body : (body.empty() ? title : title + ": " + body);
    bannerTime_ = std::chrono::steady_clock::now();
}

bool AppDriver::fetchAnswerPending() {
    if (!fetchRecordsAtAsk_) return false;
    // Each fetch ends with one record line, appended on the main queue.
    if (recordsSize(UIApplication::kBackgroundFetchRecordsFile) > *fetchRecordsAtAsk_) fetchRecordsAtAsk_.reset();
    return fetchRecordsAtAsk_.has_value();
}

std::string AppDriver::statusLine() {
    auto app = UIApplication::sharedApplication();
    std::string line = app->isTerminated() ? "terminated" : stateName(app->applicationState());
    line += std::string(" · airplane ") + (NetworkAirplaneMode::isOn() ? "on" : "off");
    const std::string& fetch = app->lastBackgroundFetchOutcome();
    if (!fetch.empty()) line += " · fetch: " + fetch;
    if (!banner_.empty() &&
        std::chrono::steady_clock::now() - bannerTime_ < std::chrono::duration<double>(kBannerSeconds))
        line += " · banner: " + banner_;
    auto urls = app->openedURLs();
    if (!urls.empty()) line += " · url: " + urls.back();
    std::error_code ec;
    std::string newest;
    std::filesystem::file_time_type newestTime{};
    for (const auto& entry : std::filesystem::directory_iterator(MFMailComposeViewController::outboxPath(), ec)) {
        auto t = entry.last_write_time(ec);
        if (newest.empty() || t > newestTime || (t == newestTime && entry.path().filename().string() > newest)) {
            newest = entry.path().filename().string();
            newestTime = t;
        }
    }
    if (!newest.empty()) line += " · outbox: " + newest;
    return line;
}
