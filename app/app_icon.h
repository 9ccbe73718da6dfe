#pragma once
// The application's icon and desktop identity: the menu entry, the window manager's task list
// and the window's own icon all show the same picture.
#include <QIcon>

namespace tolvane {

// The id of the installed desktop entry, icon and AppStream metadata.
inline constexpr char kDesktopId[] = "org.tolvane.Tolvane";

// The icon in every size the program carries, built into the program itself, so that a window
// started from the build tree, before any install, has it too.
QIcon ApplicationIcon();

// Gives the application its icon and tells the desktop which entry it was started from.
void SetDesktopIdentity();

}  // namespace tolvane
