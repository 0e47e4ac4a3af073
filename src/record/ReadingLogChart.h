#pragma once

#include <vector>

namespace corvel {

// What the reading log drives on the trend chart: each logged value becomes
// the next chart point, the page display follows, and a new log starts a new
// graph. The trend chart implements it; tests record the calls.
class ReadingLogChart {
public:
    virtual ~ReadingLogChart() = default;
    // The chart view control's AddValue and Page.
    virtual void AddValue(double value) = 0;
    virtual int Page() const = 0;
    // The page display Bt10 shows this number.
    virtual void SetPageCaption(int page) = 0;
    // The chart view control's Clear: back to page 1, every series emptied.
    virtual void ClearView() = 0;
    // Graphic -> New: placeholder points again, fill state re-applied.
    virtual void BtNewClick() = 0;
    // Values a restored log brings back, as if each had been added in turn;
    // a chart that draws overrides it to draw once, at the end.
    virtual void AddRestoredValues(const std::vector<double>& values) {
        for (const double v : values) AddValue(v);
    }
};

}  // namespace corvel
