#pragma once
// The About box, which carries the program's whole usage help.
#include <QDialog>
#include <string>

namespace tolvane {

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
