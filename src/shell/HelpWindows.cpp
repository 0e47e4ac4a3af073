#include "shell/HelpWindows.h"

#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTextBrowser>

#include "Version.h"

namespace corvel {

QString AboutText() {
    QString text = QStringLiteral(
                       "<h3>Corvel Interface Program</h3>"
                       "<p>Version %1</p>"
                       "<p>Reads hand-held air-flow meters over a serial line or their USB cable, "
                       "logs their readings and charts them.</p>"
                       "<p>Licence: GNU General Public License, version 3 or (at your option) any later "
                       "version (GPL-3.0-or-later). The program comes with no warranty.</p>"
                       "<p>Manual pages: <code>man corvel</code>, <code>man corvel-decode</code>, "
                       "<code>man corvel-convert</code>, <code>man corvel-hid</code>.</p>"
                       "<p>The project: its licence and copyright notes are in "
                       "<code>%2</code>")
                       .arg(QLatin1String(kVersion), QStringLiteral(CORVEL_DOC_DIR));
    const QString home = QStringLiteral(CORVEL_HOMEPAGE);
    if (!home.isEmpty()) text += QStringLiteral("; its home is <a href=\"%1\">%1</a>").arg(home);
    return text + QStringLiteral(".</p>");
}

void ShowAboutBox(QWidget* parent) {
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setWindowTitle(QString::fromLatin1(kAboutCaption));
    box.setTextFormat(Qt::RichText);
    box.setText(AboutText());
    box.setIcon(QMessageBox::Information);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

QString HelpMarkdown() {
    QFile file(QStringLiteral(":/help/corvel-help.md"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

QWidget* ShowHelpWindow(QWidget* parent) {
    static QPointer<QTextBrowser> open;
    if (!open || open->parentWidget() != parent) {
        if (open) open->deleteLater();
        auto* browser = new QTextBrowser(parent);
        browser->setObjectName(QStringLiteral("HelpWindow"));
        browser->setWindowFlag(Qt::Window);
        browser->setWindowTitle(QString::fromLatin1(kHelpCaption));
        browser->setOpenExternalLinks(true);
        browser->setMarkdown(HelpMarkdown());
        browser->resize(640, 560);
        open = browser;
    }
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

}  // namespace corvel
