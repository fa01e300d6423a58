#pragma once

#include <QString>

// The pages shipped with the program (the maker's home page and the page of
// the first start) live in the program's resources and are laid out in the
// "pages" folder beside the program when missing, so the first window shows
// a real page without a network. Returns false when the folder cannot be
// written; the program runs on regardless.
bool InstallShippedPages(const QString& programFolder);

// Registers the shell's resources (pictures and pages); safe to call often.
void InitShellResources();
