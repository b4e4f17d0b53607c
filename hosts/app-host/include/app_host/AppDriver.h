#pragma once
// Turns the host's keys into what a finger would do on the app's current
// screen (taps at the centres of what shows, drags through touch
// injection, the platform's life-cycle and device switches), keeps the row
// cursor of the front table, and tells the status line's facts.
//
// Main thread; one per process, made after launch begins.

#include <app_host/HostKeys.h>

#include <platform_runtime/Geometry.h>
#include <platform_uikit/NSIndexPath.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UITableView;
class UIView;
class UIViewController;

class AppDriver {
public:
    AppDriver();

    // Does what the key does. False for a key that does nothing here.
    bool perform(const HostKey& key);
    bool quitRequested() const { return quit_; }
    bool helpShown() const { return help_; }
    void setHelpShown(bool shown) { help_ = shown; }

    // Pushes the controller of that name onto the first tab's navigation
    // stack (selecting the tab); an error text when it cannot.
    std::string present(const std::string& controllerClassName);

    // The front screen: the top presented controller, else the selected
    // tab's top controller.
    std::shared_ptr<UIViewController> frontController() const;
    // The first shown table view of the front controller; nullptr when none.
    std::shared_ptr<UITableView> frontTable() const;
    // The cursor's row in the front table (where it was left when the
    // table shows again), and the text rows (of the screen
    // text grid) it covers; nothing when there is no row.
    std::optional<NSIndexPath> cursor();
    std::optional<std::pair<int, int>> cursorTextRows();

    // A background fetch the key asked for whose answer (the app calling the
    // completion handler, or the fetch expiring) is not recorded yet.
    bool fetchAnswerPending();

    // "active · airplane off · fetch: new data · banner: … · url: … · outbox: …"
    std::string statusLine();
    // Called by the application for each presented notification.
    void noteBanner(const std::string& title, const std::string& body);

private:
    std::vector<NSIndexPath> rows(UITableView& table) const;
    void syncCursor();
    void moveCursor(long delta, bool toEdge);
    bool tapView(UIView& view);
    bool tapCursorRow();
    bool tapTab(int index, bool next);
    bool goBack();
    bool tapRightBarButton();
    bool pullToRefresh();

    void rememberCursor();

    std::weak_ptr<UITableView> cursorTable_;
    std::optional<NSIndexPath> cursor_;
    // The cursor of each table left for another screen, taken up again on return.
    std::vector<std::pair<std::weak_ptr<UITableView>, NSIndexPath>> leftCursors_;
    // The size of the fetch records when the unanswered fetch began.
    std::optional<std::uintmax_t> fetchRecordsAtAsk_;
    bool quit_ = false;
    bool help_ = false;
    std::string banner_;
    std::chrono::steady_clock::time_point bannerTime_;
};
