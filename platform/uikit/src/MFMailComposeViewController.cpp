#include <platform_uikit/MFMailComposeViewController.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/Base64.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSPathUtilities.h>
#include <platform_foundation/NSUUID.h>
#include <platform_foundation/Sandbox.h>
#include <platform_uikit/UIBarButtonItem.h>
#include <platform_uikit/UIColor.h>
#include <platform_uikit/UINavigationItem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace {

std::string account() {
    const char* env = std::getenv(MFMailComposeViewController::kAccountEnvironmentVariable);
    return env ? env : "";
}

bool isAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80 || c == '\r' || c == '\n') return false;
    return true;
}

// A header value: as is when plain ASCII, else one UTF-8 encoded word.
std::string headerText(const std::string& s) {
    if (isAscii(s)) return s;
    return "=?utf-8?B?" + NSDataBase64EncodedString(s.data(), s.size()) + "?=";
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (const auto& item : items) out += (out.empty() ? "" : separator) + item;
    return out;
}

// Quoted-printable (RFC 2045): lines of at most 76 characters, soft breaks
// with "=", the source's line breaks kept as CRLF.
std::string quotedPrintable(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out, line;
    auto flushLine = [&](bool hard) {
        out += line;
        out += hard ? "\r\n" : "=\r\n";
        line.clear();
    };
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string src = text.substr(start, end - start);
        if (!src.empty() && src.back() == '\r') src.pop_back();
        for (std::size_t i = 0; i < src.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(src[i]);
            const bool last = i + 1 == src.size();
            std::string piece;
            if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last))
                piece.assign(1, static_cast<char>(c));
            else
                piece = {'=', hex[c >> 4], hex[c & 15]};
            if (line.size() + piece.size() > 75) flushLine(false);
            line += piece;
        }
        if (end == text.size()) break;
        flushLine(true);
        start = end + 1;
    }
    out += line;
    return out + "\r\n";
}

std::string rfc5322Date(const NSDate& date) {
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t t = static_cast<std::time_t>(date.timeIntervalSince1970());
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[tm.tm_wday], tm.tm_mday,
                  months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

}  // namespace

MFMailComposeViewController::MFMailComposeViewController() : bar_(std::make_shared<UINavigationBar>()) {}

bool MFMailComposeViewController::canSendMail() { return !account().empty(); }

std::string MFMailComposeViewController::outboxPath() {
    return stringByAppendingPathComponent(NSSandbox::systemDirectory(), kOutboxFolder);
}

void MFMailComposeViewController::setToRecipients(std::vector<std::string> recipients) {
    to_ = std::move(recipients);
    refreshLabels();
}
void MFMailComposeViewController::setSubject(std::string subject) {
    subject_ = std::move(subject);
    refreshLabels();
}
void MFMailComposeViewController::setMessageBody(std::string body, bool isHTML) {
    body_ = std::move(body);
    html_ = isHTML;
    refreshLabels();
}

std::string MFMailComposeViewController::displayText(const std::string& html) {
    std::string out;
    for (std::size_t i = 0; i < html.size();) {
        if (html[i] != '<') {
            out += html[i++];
            continue;
        }
        const std::size_t close = html.find('>', i);
        if (close == std::string::npos) {
            out += html.substr(i);
            break;
        }
        std::string tag;
        for (char c : html.substr(i + 1, close - i - 1))
            if (c != ' ' && c != '/') tag += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tag == "br") out += '\n';
        if (tag == "hr") out += "\n\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\n";
        i = close + 1;
    }
    return out;
}

void MFMailComposeViewController::loadView() {
    auto view = std::make_shared<UIView>();
    bar_->setFrame(CGRectMake(0, 0, 375, 44));
    view->addSubview(bar_);
    cancelButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    cancelButton_->setTitle("Cancel", UIControlStateNormal);
    sendButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    sendButton_->setTitle("Send", UIControlStateNormal);
    std::weak_ptr<NSObject> weak = weak_from_this();
    cancelButton_->addTarget(nullptr, "cancel", [weak](UIControl&, UIEvent*) {
        if (auto self = std::static_pointer_cast<MFMailComposeViewController>(weak.lock())) self->cancel();
    }, UIControlEventTouchUpInside);
    sendButton_->addTarget(nullptr, "send", [weak](UIControl&, UIEvent*) {
        if (auto self = std::static_pointer_cast<MFMailComposeViewController>(weak.lock())) self->send();
    }, UIControlEventTouchUpInside);
    cancelButton_->setFrame(CGRectMake(8, 0, 70, 44));
    sendButton_->setFrame(CGRectMake(297, 0, 70, 44));
    // Placed by the bar as its item's buttons: views added to the bar directly would lie
    // under its content view, which takes their taps.
    auto item = std::make_shared<UINavigationItem>();
    item->setLeftBarButtonItem(UIBarButtonItem::withCustomView(cancelButton_));
    item->setRightBarButtonItem(UIBarButtonItem::withCustomView(sendButton_));
    bar_->pushNavigationItem(item);
    // Opaque, as a full-screen sheet: what it covers does not show through.
    view->setBackgroundColor(UIColor::systemBackgroundColor());
    double y = 52;
    for (auto* label : {&fromLabel_, &toLabel_, &subjectLabel_, &bodyLabel_}) {
        *label = std::make_shared<UILabel>(CGRectMake(16, y, 343, 22));
        view->addSubview(*label);
        y += 30;
    }
    bodyLabel_->setNumberOfLines(0);
    setView(view);
    refreshLabels();
}

void MFMailComposeViewController::refreshLabels() {
    if (!fromLabel_) return;
    fromLabel_->setText("From: " + account());
    toLabel_->setText("To: " + joined(to_, ", "));
    subjectLabel_->setText("Subject: " + subject_);
    bodyLabel_->setText(html_ ? displayText(body_) : body_);
    fitBody();
}

void MFMailComposeViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    fitBody();
}

// The body takes the lines its text needs, down to the sheet's bottom edge.
void MFMailComposeViewController::fitBody() {
    if (!bodyLabel_) return;
    CGRect frame = bodyLabel_->frame();
    const double line = 22;
    double room = std::max(line, viewIfLoaded()->bounds().size.height - frame.origin.y - 16);
    double needed = bodyLabel_->sizeThatFits(CGSizeMake(frame.size.width, room)).height;
    frame.size.height = std::clamp(needed, line, room);
    if (frame != bodyLabel_->frame()) bodyLabel_->setFrame(frame);
}

std::shared_ptr<UIButton> MFMailComposeViewController::cancelButton() {
    loadViewIfNeeded();
    return cancelButton_;
}
std::shared_ptr<UIButton> MFMailComposeViewController::sendButton() {
    loadViewIfNeeded();
    return sendButton_;
}

std::vector<std::string> MFMailComposeViewController::screenLines() {
    loadViewIfNeeded();
    return {fromLabel_->text(), toLabel_->text(), subjectLabel_->text(), bodyLabel_->text()};
}

std::string MFMailComposeViewController::messageText(const NSDate& date) const {
    std::string m;
    m += "From: " + account() + "\r\n";
    m += "To: " + joined(to_, ", ") + "\r\n";
    m += "Subject: " + headerText(subject_) + "\r\n";
    m += "Date: " + rfc5322Date(date) + "\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += std::string("Content-Type: ") + (html_ ? "text/html" : "text/plain") + "; charset=utf-8\r\n";
    m += "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    m += quotedPrintable(body_);
    return m;
}

void MFMailComposeViewController::cancel() { finish(MFMailComposeResultCancelled, nullptr); }

void MFMailComposeViewController::send() {
    const std::string folder = outboxPath();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);  // a failure shows in the write's error
    const std::string file = stringByAppendingPathComponent(folder, NSUUID::UUID()->UUIDString() + ".eml");
    const std::string text = messageText(NSDate::date());
    NSErrorPtr error;
    if (!NSDataFile::writeToFile(text.data(), text.size(), file, NSDataWritingAtomic, &error))
        return finish(MFMailComposeResultFailed, error);
    finish(MFMailComposeResultSent, nullptr);
}

void MFMailComposeViewController::finish(MFMailComposeResult result, NSErrorPtr error) {
    auto self = std::static_pointer_cast<MFMailComposeViewController>(shared_from_this());
    dispatch_async(dispatch_get_main_queue(), [self, result, error] {
        if (auto delegate = self->mailComposeDelegate()) delegate->mailComposeControllerDidFinish(*self, result, error);
    });
}
