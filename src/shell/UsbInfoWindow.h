#pragma once

#include <string>

class QWidget;

namespace corvel {

// The Info command's window: a small modal window owned by the main window
// that describes the selected USB device; destroyed when it closes.
void ShowUsbInfoWindow(QWidget* owner, const std::string& text);

}  // namespace corvel
