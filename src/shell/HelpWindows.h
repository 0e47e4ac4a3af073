#pragma once

#include <QString>

class QWidget;

namespace corvel {

// The Help menu's two windows: the About box, and the user's part of the
// README, built into the program so that it is there without the sources.

// The About box's text (rich text): the program's name and version, its
// licence, and where its manual pages and the project are.
QString AboutText();
// Shows the About box, modal over `parent`.
void ShowAboutBox(QWidget* parent);

// The README's sections for users, as Markdown.
QString HelpMarkdown();
// Shows the help window over `parent`, one at a time: a second call raises
// the one already open.
QWidget* ShowHelpWindow(QWidget* parent);

constexpr const char* kAboutCaption = "About Corvel Interface Program";
constexpr const char* kHelpCaption = "Corvel Help";

}  // namespace corvel
