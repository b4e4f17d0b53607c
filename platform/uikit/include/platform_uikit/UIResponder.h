#pragma once
// An object in the responder chain: touches it does not handle go to its
// next responder (a view's superview or controller, the window, the
// application), and it may become the first responder.
//
// Main thread only.

#include <platform_runtime/ObjCDeclare.h>

#include <memory>
#include <set>

class UITouch;
class UIEvent;
class UIResponder;
using UITouchSet = std::set<std::shared_ptr<UITouch>>;

class UIResponder : public NSObject {
    NS_CLASS(UIResponder, NSObject)
public:
    virtual std::shared_ptr<UIResponder> nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    // True when this object is the first responder afterwards.
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    // The current first responder, if any.
    static std::shared_ptr<UIResponder> currentFirstResponder();

    // By default passed on to the next responder.
    virtual void touchesBegan(const UITouchSet& touches, UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, UIEvent* event);

    // Called on each object a nib or storyboard made, once all of its outlets are set.
    virtual void awakeFromNib() {}
};
