// The help page: a small HTML page about the program in the user's language, opened
// in the desktop's browser. It is looked for next to the program, in the installed
// share folder and in the source tree's resources.
#pragma once

#include <functional>
#include <string>

class QUrl;

namespace vexol::platform::framework {

// The page for the user's language (English when there is none in that language);
// empty when no page is found.
std::string FindHelpPage();
// Opens the page. False when there is no page or it could not be opened.
bool OpenHelpPage();

// Replaces the desktop's URL opener (tests); an empty opener restores it.
using UrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpener(UrlOpener opener);

} // namespace vexol::platform::framework
