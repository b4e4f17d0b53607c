#pragma once
// The refresh controls' shared constants: the state machine's states, the
// controls' sizes and durations, the localized text keys and the names they
// post or store under.

#include <cstdint>

// The state of a refresh control. Titles, images and durations are keyed by this number.
enum RFRefreshState : int64_t {
    RFRefreshStateIdle = 1,         // at rest
    RFRefreshStatePulling = 2,      // dragged far enough that letting go starts a refresh
    RFRefreshStateRefreshing = 3,   // a refresh runs; the owner's callback has been or is being called
    RFRefreshStateWillRefresh = 4,  // asked to refresh while off-window; refreshes at the next draw
    RFRefreshStateNoMoreData = 5,   // footers and trailers: the list is complete
};

inline constexpr double RFRefreshHeaderHeight = 54;
inline constexpr double RFRefreshFooterHeight = 44;
inline constexpr double RFRefreshTrailWidth = 60;
inline constexpr double RFRefreshLabelLeftInset = 25;
inline constexpr double RFRefreshFastAnimationDuration = 0.25;
inline constexpr double RFRefreshSlowAnimationDuration = 0.4;

inline constexpr char RFRefreshDidChangeLanguageNotification[] = "RFRefreshDidChangeLanguageNotification";
inline constexpr char RFRefreshHeaderLastUpdatedTimeKey[] = "RFRefreshHeaderLastUpdatedTimeKey";

inline constexpr char RFRefreshHeaderIdleText[] = "RFRefreshHeaderIdleText";
inline constexpr char RFRefreshHeaderPullingText[] = "RFRefreshHeaderPullingText";
inline constexpr char RFRefreshHeaderRefreshingText[] = "RFRefreshHeaderRefreshingText";
inline constexpr char RFRefreshHeaderLastTimeText[] = "RFRefreshHeaderLastTimeText";
inline constexpr char RFRefreshHeaderDateTodayText[] = "RFRefreshHeaderDateTodayText";
inline constexpr char RFRefreshHeaderNoneLastDateText[] = "RFRefreshHeaderNoneLastDateText";

inline constexpr char RFRefreshAutoFooterIdleText[] = "RFRefreshAutoFooterIdleText";
inline constexpr char RFRefreshAutoFooterRefreshingText[] = "RFRefreshAutoFooterRefreshingText";
inline constexpr char RFRefreshAutoFooterNoMoreDataText[] = "RFRefreshAutoFooterNoMoreDataText";

inline constexpr char RFRefreshBackFooterIdleText[] = "RFRefreshBackFooterIdleText";
inline constexpr char RFRefreshBackFooterPullingText[] = "RFRefreshBackFooterPullingText";
inline constexpr char RFRefreshBackFooterRefreshingText[] = "RFRefreshBackFooterRefreshingText";
inline constexpr char RFRefreshBackFooterNoMoreDataText[] = "RFRefreshBackFooterNoMoreDataText";

inline constexpr char RFRefreshTrailerIdleText[] = "RFRefreshTrailerIdleText";
inline constexpr char RFRefreshTrailerPullingText[] = "RFRefreshTrailerPullingText";
