#pragma once

#include <QString>

class TShellData;

// What the favorites organiser and the entry dialog ask of the main window,
// whose favorites panel shows the current group and its links.
class TFavoritesHost
{
public:
    virtual ~TFavoritesHost() = default;
    // The current group, its links and the group tree's file.
    virtual TShellData& ShellData() = 0;
    // Shows a new current group's name on the panel.
    virtual void ShowCurrentGroup(const QString& group) = 0;
    // Refills the panel's list from the current group.
    virtual void FillFavoriteList() = 0;
    virtual void SortGroupURLs(bool byAddress) = 0;
    // Reads the group tree again (after the organiser saved it).
    virtual void ReloadFavoriteTree() = 0;
    // Appends a link to the current group and shows it.
    virtual void AddGroupURL(const QString& name, const QString& url) = 0;
};
