#pragma once

#include <QDialog>

#include "shell/SerialPortChoice.h"

class QDialogButtonBox;
class QLabel;
class QTreeWidget;

namespace corvel {

class UserPrompts;

// Connect -> "Serial Port...": the machine's serial ports in a list, COM1's
// device marked, for the user to pick the one the meter is on.
class SerialPortDialog : public QDialog {
    Q_OBJECT
public:
    SerialPortDialog(const SerialPortChoice& choice, const QList<SerialPortEntry>& present,
                     QWidget* parent = nullptr);

    // The list's columns.
    enum Column { Mark, Device, Description, Manufacturer, SerialNumber, ColumnCount };
    QTreeWidget* List() const { return list_; }
    // Accepts with COM1's default device, forgetting the choice.
    QPushButton* DefaultButton() const { return default_; }
    // The note that the command line decides COM1 for this run; hidden
    // otherwise.
    QLabel* Note() const { return note_; }

    // After Accepted: the chosen device, empty for the default.
    const QString& ChosenDevice() const { return chosen_; }

    static constexpr const char* kAbsent = "absent";

private:
    QTreeWidget* list_;
    QDialogButtonBox* buttons_;
    QPushButton* default_;
    QLabel* note_;
    QString chosen_;
};

// Shows the dialog and applies what the user picks to `choice`. True when
// the choice changed; a choice that could not be remembered is said so.
bool ChooseSerialPort(SerialPortChoice& choice, const SerialPortList& ports, UserPrompts& prompts,
                      QWidget* parent);

}  // namespace corvel
