#pragma once

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
};

}  // namespace corvel
