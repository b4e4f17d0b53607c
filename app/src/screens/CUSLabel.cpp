#include <app/screens/CUSLabel.h>

#include <cfloat>
#include <cmath>

void CUSLabel::drawTextInRect(CGRect rect) {
    if (text().empty()) {
        UILabel::drawTextInRect(rect);
        return;
    }
    const double width = frame().size.width;
    CGRect measured = NSString::boundingRectWithSize(
        text(), CGSizeMake(width, DBL_MAX), NSStringDrawingUsesLineFragmentOrigin | NSStringDrawingUsesFontLeading,
        Value::Dictionary{{NSFontAttributeName, Value(font())}});
    UILabel::drawTextInRect(CGRectMake(0, 0, std::ceil(width), std::ceil(measured.size.height)));
}
