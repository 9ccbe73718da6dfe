#pragma once
// The accelerators bound to undo, cut, copy, paste and the pane commands, none of which the program
// handles: installed on a box, this filter makes them do nothing at all there. It must be installed
// after any other filter of the box, so that it sees the keys first; the boxes' context menus edit
// as usual, since they send no keys.
#include <QObject>

namespace tolvane {

class UnhandledAcceleratorFilter : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 protected:
  // Swallows both the shortcut override, so that the box does not claim the key, and the key press.
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tolvane
