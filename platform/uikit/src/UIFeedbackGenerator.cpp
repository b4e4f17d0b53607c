#include <platform_uikit/UIFeedbackGenerator.h>

namespace {
std::vector<std::string>& feedback() {
    static std::vector<std::string> recorded;
    return recorded;
}
}  // namespace

std::vector<std::string> UIFeedbackGenerator::recordedFeedback() { return feedback(); }
void UIFeedbackGenerator::clearRecordedFeedback() { feedback().clear(); }
void UIFeedbackGenerator::record(std::string what) { feedback().push_back(std::move(what)); }
