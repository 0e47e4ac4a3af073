#pragma once

class QFocusEvent;
class QWidget;

namespace corvel {

// True when a focus-out of `widget` hands the input focus to another
// control of the same window: a Tab, a click on another control, the widget
// being hidden. Opening a menu or a context menu, a message box coming up
// or the window losing activation also take the focus away for a moment,
// but the user is still in the widget and comes back to it.
bool FocusMovesToAnotherControl(const QWidget* widget, const QFocusEvent& event);

}  // namespace corvel
