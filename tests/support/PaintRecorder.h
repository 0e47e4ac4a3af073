#pragma once

// Watches widgets' paint events: how often each was painted, and the region
// it was asked to paint, so a test can tell what a change costs on screen.

#include <QEvent>
#include <QObject>
#include <QPaintEvent>
#include <QRegion>
#include <QWidget>
#include <map>

namespace corvel::test {

class PaintRecorder final : public QObject {
public:
    void Watch(QWidget* w) {
        w->installEventFilter(this);
        painted_[w];
    }
    void Reset() {
        for (auto& [w, record] : painted_) record = {};
    }
    int Paints(const QWidget* w) const { return painted_.at(w).paints; }
    // Everything the widget was asked to paint, in its own coordinates.
    QRegion Region(const QWidget* w) const { return painted_.at(w).region; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            auto found = painted_.find(static_cast<QWidget*>(watched));
            if (found != painted_.end()) {
                ++found->second.paints;
                found->second.region += static_cast<QPaintEvent*>(event)->region();
            }
        }
        return false;
    }

private:
    struct Record {
        int paints = 0;
        QRegion region;
    };
    std::map<const QWidget*, Record> painted_;
};

}  // namespace corvel::test
