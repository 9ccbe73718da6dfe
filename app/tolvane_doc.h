#pragma once
// The document: the program keeps no data in it, only the name the caption shows.
#include <QString>

namespace tolvane {

class CTolvaneDoc {
 public:
  CTolvaneDoc();

  const QString& GetTitle() const { return title_; }
  // A new document takes the default name again.
  void OnNewDocument();
  // A document opened or saved takes the file's name, without its folder.
  void SetPathName(const QString& path);

 private:
  QString title_;
};

}  // namespace tolvane
