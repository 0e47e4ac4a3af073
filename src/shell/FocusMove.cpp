#include "shell/FocusMove.h"

#include <QApplication>
#include <QFocusEvent>
#include <QWidget>

namespace corvel {

bool FocusMovesToAnotherControl(const QWidget* widget, const QFocusEvent& event) {
    switch (event.reason()) {
        case Qt::PopupFocusReason:
        case Qt::ActiveWindowFocusReason:
        case Qt::MenuBarFocusReason: return false;
        default: break;
    }
    // By the time the old widget hears of it, the application already
    // names the new one.
    const QWidget* next = QApplication::focusWidget();
    return next && next != widget && next->window() == widget->window();
}

}  // namespace corvel
