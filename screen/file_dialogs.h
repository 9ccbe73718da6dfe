#pragma once
// The file dialogs opened large enough to read: every column of the file list whole on an
// ordinary screen, and the size the user gives them kept in the settings file for the next one.
#include <QSize>
#include <optional>
#include <string>

class QFileDialog;

namespace tolvane {

// The least size a file dialog opens at, in logical pixels, where the screen has room for it.
inline constexpr int kFileDialogWidth = 800;
inline constexpr int kFileDialogHeight = 520;
// On a smaller screen, this share of its free area in each direction.
inline constexpr double kFileDialogScreenShare = 0.9;

// The size a dialog opens at: `remembered` (when it has both sides) or the least size, in either
// case within the share of `available`, the screen's free area.
QSize FileDialogSize(QSize remembered, QSize available);

// Sizes `dialog` before it is shown (from the settings file, when there is one), and has its
// list's columns sized to their contents while the names take the rest.
void PrepareFileDialog(QFileDialog& dialog, const std::optional<std::string>& settings_file);

// Remembers the size `dialog` was left at, once it was closed, when it differs from the one saved.
void RememberFileDialogSize(const QFileDialog& dialog,
                            const std::optional<std::string>& settings_file);

}  // namespace tolvane
