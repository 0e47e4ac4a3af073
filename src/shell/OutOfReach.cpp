#include "shell/OutOfReach.h"

#include <QChildEvent>
#include <QWidget>

namespace corvel {

void OutOfReach::Keep(QWidget* area) {
    Apply(area);
    area->installEventFilter(new OutOfReach(area));
}

void OutOfReach::Apply(QWidget* widget) {
    widget->setFocusPolicy(Qt::NoFocus);
    // A control that has the focus already (set by code) gives it up.
    if (widget->hasFocus()) widget->clearFocus();
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        child->setFocusPolicy(Qt::NoFocus);
        if (child->hasFocus()) child->clearFocus();
    }
}

bool OutOfReach::eventFilter(QObject* watched, QEvent* event) {
    // A child is polished once it is fully made, after its own constructor
    // has chosen a focus policy.
    if (event->type() == QEvent::ChildPolished || event->type() == QEvent::Show) {
        if (auto* area = qobject_cast<QWidget*>(watched)) Apply(area);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace corvel
