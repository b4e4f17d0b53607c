#pragma once
// The row of the jailbreak list, made from the nib "JBTableViewCell" (reuse identifier
// "jbInfoCell"), which connects its three labels.
//
// Main thread.

#include <platform_uikit/UILabel.h>
#include <platform_uikit/UITableViewCell.h>

class JBTableViewCell : public UITableViewCell {
    NS_CLASS(JBTableViewCell, UITableViewCell)
    NS_PROPERTY(std::shared_ptr<UILabel>, jbVersionLabel, setJbVersionLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, jbToolsLabel, setJbToolsLabel, "&,N")
    NS_PROPERTY(std::shared_ptr<UILabel>, jbTipsLabel, setJbTipsLabel, "&,N")
public:
    using UITableViewCell::UITableViewCell;
};
