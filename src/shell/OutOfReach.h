#pragma once

#include <QObject>

class QWidget;

namespace corvel {

// Keeps an area of controls that the layout places out of the user's reach
// (right of the window's edge, where it clips them) also out of reach of
// the keyboard: none of its controls takes the focus, so Tab never lands on
// one and Space or Enter never presses one. Controls added to the area
// later are kept out too. The program's own code still drives them.
class OutOfReach final : public QObject {
    Q_OBJECT
public:
    // Applies to `area` and everything in it; owned by `area`.
    static void Keep(QWidget* area);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    static void Apply(QWidget* widget);
};

}  // namespace corvel
