#pragma once

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace corvel {

class TrendChart;

// Lets only digits and Backspace through to an edit, as the interval and
// page-size edits want; other control keys (and so pasting) pass.
class DigitKeyFilter final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The chart's toolbar panel: Fill, the page-size edit, Save, the paging
// buttons around the page display, and enlarge/restore. It mirrors the
// trend chart's state and hands every click to it.
class ChartToolbar final : public QWidget {
    Q_OBJECT
public:
    ChartToolbar(TrendChart& chart, QWidget* parent);

    QCheckBox& BtFill() { return *btFill_; }
    QLineEdit& Maxrecord() { return *maxrecord_; }
    QToolButton& BtSave() { return *btSave_; }
    QToolButton& BtFirst() { return *btFirst_; }
    QToolButton& BTPrevious() { return *btPrevious_; }
    QToolButton& Bt10() { return *bt10_; }
    QToolButton& BtNext() { return *btNext_; }
    QToolButton& BTlast() { return *btLast_; }
    QToolButton& TbFd() { return *tbFd_; }
    QToolButton& TbSx() { return *tbSx_; }

private:
    void Mirror();

    TrendChart& chart_;
    QCheckBox* btFill_;
    QLineEdit* maxrecord_;
    QToolButton* btSave_;
    QToolButton* btFirst_;
    QToolButton* btPrevious_;
    QToolButton* bt10_;
    QToolButton* btNext_;
    QToolButton* btLast_;
    QToolButton* tbFd_;
    QToolButton* tbSx_;
};

}  // namespace corvel
