// The save dialog as a user drives it: the type chosen in its list decides
// the extension a name typed without one gets.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "record/LogFiles.h"
#include "shell/QtPrompts.h"

namespace corvel {
namespace {

// Picks `type` in the open save dialog's type list as a user does, types
// `name` and presses Save.
void ChooseAndSave(const QString& folder, int type, const QString& name) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->setDirectory(folder);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!types || !edit) {
            dialog->reject();
            return;
        }
        types->setCurrentIndex(type);
        emit types->activated(type);  // what a pick with the mouse sends
        emit types->textActivated(types->itemText(type));
        edit->setText(name);
        static_cast<QDialog*>(dialog)->accept();  // the Save button
    });
}

TEST(SaveDialog, ANameWithoutExtensionTakesTheChosenTypesOwnOrXls) {
    const struct {
        int type;
        const char* typed;
        const char* saved;
    } cases[] = {
        {0, "log", "log.xls"},   // Excel File: the dialog's default
        {1, "log", "log.xls"},   // Txt File: still the default, as before
        {2, "log", "log.xlsx"},  // Excel workbook
        {3, "log", "log.csv"},   // CSV
        {4, "log", "log.xml"},   // XML data packet
        {3, "log.txt", "log.txt"},
    };
    QTemporaryDir dir;
    QWidget parent;
    QtPrompts prompts(&parent);
    for (const auto& c : cases) {
        ChooseAndSave(dir.path(), c.type, QLatin1String(c.typed));
        const std::string chosen =
            prompts.SaveFileNameBy("Save As", std::string(LogFiles::kSaveFilter),
                                   std::string(LogFiles::kDefaultSuffix), LogFiles::kOwnSuffixFrom);
        EXPECT_EQ(chosen, QDir(dir.path()).filePath(QLatin1String(c.saved)).toStdString())
            << c.typed << " as " << c.type;
    }
}

}  // namespace
}  // namespace corvel
