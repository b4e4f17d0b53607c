#pragma once
// A row of the release timeline: the relative time on the left, a vertical line with a
// point on it, and right of the point the event title (with an optional icon) above the
// multi-line content. Laid out by constraints installed once, when the cell is made.
//
// Main thread.

#include <app/screens/CUSLabel.h>
#include <app/screens/CUSTimelineModel.h>

#include <platform_uikit/NSAttributedString.h>
#include <platform_uikit/UIImageView.h>
#include <platform_uikit/UILabel.h>
#include <platform_uikit/UITableViewCell.h>

#include <memory>
#include <string>

class CUSTimelineCell : public UITableViewCell {
    NS_CLASS(CUSTimelineCell, UITableViewCell)
    NS_PROPERTY(CUSTimelineModelPtr, model, setModelValue, "&,N")
    NS_PROPERTY(std::shared_ptr<UIImageView>, pointView, setPointView, "&,N")
    NS_PROPERTY(std::shared_ptr<UIImageView>, lineView, setLineView, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, timeLabel, setTimeLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, eventLabel, setEventLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<CUSLabel>, contentLabel, setContentLabel, "&,N")
    // Declared; never created.
    NS_PROPERTY(std::shared_ptr<UIImageView>, checkImage, setCheckImage, "&,N")

public:
    CUSTimelineCell() : CUSTimelineCell(UITableViewCellStyleDefault, "") {}
    // Builds the line, point, time, event and content views in the content view and
    // installs their constraints.
    CUSTimelineCell(UITableViewCellStyle style, std::string reuseIdentifier);

    // Installs the constraints of the five subviews (point, line, time, event, content).
    void layoutTimeline();
    // Fills the labels from the row model and keeps it.
    void setModel(CUSTimelineModelPtr model);
    // The icon (5 points below the baseline, 20 × 20), one blank, then the title in the
    // event label's font. An empty title gets no font range.
    NSAttributedStringPtr title(const std::string& title, const UIImagePtr& icon) const;
};
