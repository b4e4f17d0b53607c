#pragma once
// The two-label row of the device list and the firmware detail screen, made from the nib
// "InfoTableViewCell" (reuse identifier "infoCell"), which connects both labels.
//
// Main thread.

#include <platform_uikit/UILabel.h>
#include <platform_uikit/UITableViewCell.h>

class InfoTableViewCell : public UITableViewCell {
    NS_CLASS(InfoTableViewCell, UITableViewCell)
    NS_PROPERTY(std::shared_ptr<UILabel>, leftLable, setLeftLable, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, rightLabel, setRightLabel, "&,N")
public:
    using UITableViewCell::UITableViewCell;
};
