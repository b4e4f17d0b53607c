#include <app/screens/CUSTimelineCell.h>

#include <device_and_dates/DUTimeAgo.h>
#include <platform_runtime/UTF16.h>
#include <platform_uikit/UIImageNamed.h>
#include <ui_tab_bar_and_layout/LCViewExtensions.h>

CUSTimelineCell::CUSTimelineCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {
    const UIViewPtr& content = contentView();

    auto line = std::make_shared<UIImageView>(UIImageNamed("line"));
    line->setFrame(CGRectMake(20, 20, 13, 13));
    setLineView(line);
    content->addSubview(line);

    auto point = std::make_shared<UIImageView>(UIImageNamed("point"));
    setPointView(point);
    content->addSubview(point);

    auto time = std::make_shared<UILabel>();
    time->setText("12:34 PM");
    time->setFont(UIFont::boldSystemFontOfSize(12));
    time->setTextAlignment(NSTextAlignmentCenter);
    time->setNumberOfLines(0);
    setTimeLabel(time);
    content->addSubview(time);

    auto event = std::make_shared<UILabel>();
    event->setText("Event");
    event->setFont(UIFont::boldSystemFontOfSize(12));
    event->setTextAlignment(NSTextAlignmentLeft);
    setEventLabel(event);
    content->addSubview(event);

    auto body = std::make_shared<CUSLabel>();
    body->setText("Content");
    body->setFont(UIFont::systemFontOfSize(12));
    body->setTextAlignment(NSTextAlignmentLeft);
    body->setNumberOfLines(0);
    setContentLabel(body);
    content->addSubview(body);

    layoutTimeline();
}

void CUSTimelineCell::layoutTimeline() {
    const UIViewPtr& content = contentView();
    const auto& point = pointView();
    const auto& event = eventLabel();
    lc_makeConstraints(point, [&](LCConstraintMaker& make) {
        make.left()->equalTo()(content)->offset()(60);
        make.top()->equalTo()(10);
        make.width()->height()->equalTo()(14);
    });
    lc_makeConstraints(lineView(), [&](LCConstraintMaker& make) {
        make.centerX()->equalTo()(point);
        make.top()->equalTo()(lc_top(content));
        make.bottom()->equalTo()(lc_bottom(content));
        make.width()->equalTo()(1);
    });
    lc_makeConstraints(timeLabel(), [&](LCConstraintMaker& make) {
        make.left()->equalTo()(content)->offset()(10);
        make.centerY()->equalTo()(point)->offset()(10);
        make.width()->equalTo()(50);
    });
    lc_makeConstraints(event, [&](LCConstraintMaker& make) {
        make.left()->equalTo()(lc_left(point))->offset()(15);
        make.centerY()->equalTo()(point);
        make.width()->equalTo()(content)->offset()(-120);
    });
    lc_makeConstraints(contentLabel(), [&](LCConstraintMaker& make) {
        make.left()->equalTo()(lc_left(event));
        make.top()->equalTo()(lc_top(event))->offset()(20);
        make.width()->equalTo()(lc_width(event));
    });
}

void CUSTimelineCell::setModel(CUSTimelineModelPtr model) {
    setModelValue(model);
    if (!model) return;
    std::optional<std::string> ago;
    if (model->modelTime()) ago = DUDate::timeAgoSinceNow(*model->modelTime());
    timeLabel()->setText(ago.value_or(""));
    const std::string event = model->event().value_or("");
    if (model->modelIcon()) eventLabel()->setAttributedText(title(event, model->modelIcon()));
    else eventLabel()->setText(event);
    contentLabel()->setText(model->content().value_or(""));
    lineView()->setHidden(false);
}

NSAttributedStringPtr CUSTimelineCell::title(const std::string& title, const UIImagePtr& icon) const {
    NSAttributedString titled(" " + title);
    auto attachment = std::make_shared<NSTextAttachment>();
    attachment->image = icon;
    attachment->bounds = CGRectMake(0, -5, 20, 20);
    auto result = std::make_shared<NSMutableAttributedString>();
    result->appendAttributedString(*NSAttributedString::attributedStringWithAttachment(attachment));
    result->appendAttributedString(titled);
    if (!title.empty()) {
        const std::string plain = result->string();
        const std::size_t at = plain.find(title);
        if (at != std::string::npos) {
            NSRange range{utf16Length(std::string_view(plain).substr(0, at)), utf16Length(title)};
            result->addAttribute(NSFontAttributeName, Value(eventLabel()->font()), range);
        }
    }
    return result;
}
