#include "shell/SerialPortDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "record/UserPrompts.h"

namespace corvel {

namespace {
constexpr int kDeviceRole = Qt::UserRole;
}

SerialPortDialog::SerialPortDialog(const SerialPortChoice& choice, const QList<SerialPortEntry>& present,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SerialPortDialog"));
    setWindowTitle(QStringLiteral("Serial Port"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("The serial port the meter is on. Connect -> START opens it as COM1."), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("SerialPortList"));
    list_->setColumnCount(ColumnCount);
    list_->setHeaderLabels({QString(), QStringLiteral("Device"), QStringLiteral("Description"),
                            QStringLiteral("Manufacturer"), QStringLiteral("Serial number")});
    list_->setRootIsDecorated(false);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const SerialPortChoice::Row& row : choice.Rows(present)) {
        auto* item = new QTreeWidgetItem(list_);
        item->setData(Device, kDeviceRole, row.port.device);
        item->setText(Device, row.port.device);
        item->setText(Description, row.absent ? QString::fromLatin1(kAbsent) : row.port.description);
        item->setText(Manufacturer, row.port.manufacturer);
        item->setText(SerialNumber, row.port.serialNumber);
        if (row.absent) {
            for (int c = 0; c < ColumnCount; ++c)
                item->setForeground(c, palette().brush(QPalette::PlaceholderText));
            item->setToolTip(Device, QStringLiteral("Not on this machine now"));
        }
        if (row.current) {
            item->setText(Mark, QStringLiteral("\u2714"));
            item->setToolTip(Mark, QStringLiteral("COM1 now"));
            QFont bold = item->font(Device);
            bold.setBold(true);
            item->setFont(Device, bold);
            list_->setCurrentItem(item);
        }
    }
    if (list_->topLevelItemCount() == 0) {
        auto* none = new QTreeWidgetItem(list_);
        none->setText(Device, QStringLiteral("No serial port found"));
        none->setFlags(Qt::NoItemFlags);
    }
    for (int c = 0; c < ColumnCount; ++c) list_->resizeColumnToContents(c);
    list_->header()->setStretchLastSection(true);
    layout->addWidget(list_);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("SerialPortNote"));
    note_->setWordWrap(true);
    if (choice.FixedForThisRun()) {
        note_->setText(
            QStringLiteral("The command line sets COM1 to %1 for this run; the port chosen here is "
                           "used from the next start.")
                .arg(choice.Current()));
    } else {
        note_->hide();
    }
    layout->addWidget(note_);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    default_ = buttons_->addButton(QStringLiteral("Default (%1)").arg(SerialPortChoice::DefaultDevice()),
                                   QDialogButtonBox::ResetRole);
    default_->setObjectName(QStringLiteral("SerialPortDefault"));
    default_->setToolTip(
        QStringLiteral("Forget the chosen port: COM1 is %1 again").arg(SerialPortChoice::DefaultDevice()));
    layout->addWidget(buttons_);

    QPushButton* ok = buttons_->button(QDialogButtonBox::Ok);
    auto selectable = [this] {
        const QTreeWidgetItem* item = list_->currentItem();
        return item && item->isSelected() && !item->data(Device, kDeviceRole).toString().isEmpty();
    };
    ok->setEnabled(selectable());
    connect(list_, &QTreeWidget::itemSelectionChanged, this,
            [ok, selectable] { ok->setEnabled(selectable()); });
    connect(buttons_, &QDialogButtonBox::accepted, this, [this, selectable] {
        if (!selectable()) return;
        chosen_ = list_->currentItem()->data(Device, kDeviceRole).toString();
        accept();
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(default_, &QPushButton::clicked, this, [this] {
        chosen_.clear();
        accept();
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const QString device = item->data(Device, kDeviceRole).toString();
        if (device.isEmpty()) return;
        chosen_ = device;
        accept();
    });
    resize(620, 300);
}

bool ChooseSerialPort(SerialPortChoice& choice, const SerialPortList& ports, UserPrompts& prompts,
                      QWidget* parent) {
    SerialPortDialog dialog(choice, ports.AvailablePorts(), parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    if (!choice.Choose(dialog.ChosenDevice()))
        prompts.Message(UserPrompts::Kind::Warning,
                        "The serial port could not be remembered for the next start: " +
                            choice.SettingsFile().toStdString() + " cannot be written.");
    return true;
}

}  // namespace corvel
