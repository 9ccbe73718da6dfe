#pragma once
// The About box, which carries the program's whole usage help.
#include <QDialog>
#include <cstddef>
#include <string>

namespace tolvane {

// The help text is built in a buffer of this size.
inline constexpr std::size_t kAboutTextBytes = 1000;
inline constexpr char kAboutTextName[] = "aboutText";

// The usage help in Shift-JIS: four paragraphs (the last two sentences share one), each ended by
// a line feed.
std::string BuildAboutText();

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  CAboutDlg(const std::string& help_text, QWidget* parent);
};

}  // namespace tolvane
