// SPDX-License-Identifier: MIT
// Saving on the web: a page has no folders of the user's to write into, so
// a program saves into a folder of the page's own memory, and every file
// that lands there is offered to the user as a browser download under its
// name, then forgotten.
#pragma once

#include <string>

namespace lumo::web {

// The folder files to be downloaded are written into.
inline constexpr const char* kDownloadFolder = "/downloads";

// Where a file the user named goes: the name alone (any folder part is
// dropped, control characters become '_', surrounding blanks go) in the
// download folder; empty when nothing is left of it, or only "." or "..".
std::string DownloadPath(const std::string& answer);

// Makes the folder and remembers to look into it at the next look at the
// message queue (OfferSavedFiles, WebPage.h): the program writes the file
// once the dialog has answered.
void ExpectDownload();

}  // namespace lumo::web
