#include "app/unhandled_accelerators.h"

#include <QEvent>
#include <QKeyEvent>

namespace tolvane {
namespace {

struct KeyCombination {
  int key;
  Qt::KeyboardModifiers modifiers;
};

constexpr KeyCombination kUnhandledAccelerators[] = {
    {Qt::Key_Z, Qt::ControlModifier}, {Qt::Key_Backspace, Qt::AltModifier},
    {Qt::Key_X, Qt::ControlModifier}, {Qt::Key_Delete, Qt::ShiftModifier},
    {Qt::Key_C, Qt::ControlModifier}, {Qt::Key_Insert, Qt::ControlModifier},
    {Qt::Key_V, Qt::ControlModifier}, {Qt::Key_Insert, Qt::ShiftModifier},
    {Qt::Key_F6, Qt::NoModifier},     {Qt::Key_F6, Qt::ShiftModifier},
};

// Keypad and group-switch flags are no part of an accelerator.
constexpr Qt::KeyboardModifiers kAcceleratorModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

bool IsUnhandledAccelerator(const QKeyEvent& key) {
  const Qt::KeyboardModifiers modifiers = key.modifiers() & kAcceleratorModifiers;
  for (const KeyCombination& combination : kUnhandledAccelerators) {
    if (key.key() == combination.key && modifiers == combination.modifiers) return true;
  }
  return false;
}

}  // namespace

bool UnhandledAcceleratorFilter::eventFilter(QObject* watched, QEvent* event) {
  if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
      IsUnhandledAccelerator(*static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tolvane
