#pragma once
// Haptic feedback generators (operating system 10 and later). Nothing
// vibrates here: every request is recorded, newest last.
//
// Main thread.

#include <platform_runtime/ObjCDeclare.h>

#include <string>
#include <vector>

enum UINotificationFeedbackType : int64_t {
    UINotificationFeedbackTypeSuccess = 0,
    UINotificationFeedbackTypeWarning = 1,
    UINotificationFeedbackTypeError = 2,
};

enum UIImpactFeedbackStyle : int64_t {
    UIImpactFeedbackStyleLight = 0,
    UIImpactFeedbackStyleMedium = 1,
    UIImpactFeedbackStyleHeavy = 2,
};

class UIFeedbackGenerator : public NSObject {
    NS_CLASS(UIFeedbackGenerator, NSObject)
public:
    void prepare() { record("prepare"); }
    // "prepare", "notification 0", "impact 2", "selection", in order.
    static std::vector<std::string> recordedFeedback();
    static void clearRecordedFeedback();

protected:
    static void record(std::string what);
};

class UINotificationFeedbackGenerator : public UIFeedbackGenerator {
    NS_CLASS(UINotificationFeedbackGenerator, UIFeedbackGenerator)
public:
    void notificationOccurred(UINotificationFeedbackType type) { record("notification " + std::to_string(type)); }
};

class UIImpactFeedbackGenerator : public UIFeedbackGenerator {
    NS_CLASS(UIImpactFeedbackGenerator, UIFeedbackGenerator)
public:
    explicit UIImpactFeedbackGenerator(UIImpactFeedbackStyle style = UIImpactFeedbackStyleMedium) : style_(style) {}
    void impactOccurred() { record("impact " + std::to_string(style_)); }

private:
    UIImpactFeedbackStyle style_;
};

class UISelectionFeedbackGenerator : public UIFeedbackGenerator {
    NS_CLASS(UISelectionFeedbackGenerator, UIFeedbackGenerator)
public:
    void selectionChanged() { record("selection"); }
};
