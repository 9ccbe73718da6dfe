#include "screen/busy_cursor.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <utility>

namespace tolvane {
namespace {

// Sends the cursor change to the X server without processing any event: QGuiApplication::sync()
// would deliver pending events, keys and clicks included, in the middle of a search. Platforms
// other than X11 have nothing to flush here; the offscreen one offers the X11 interface with no
// connection behind it.
void FlushToDisplay() {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr) return;
  if (xcb_connection_t* connection = x11->connection()) xcb_flush(connection);
}

}  // namespace

BusyCursor::BusyCursor(BusyClock clock) : clock_(std::move(clock)), start_(clock_()) {}

void BusyCursor::OnProgress() {
  if (shown_ || clock_() - start_ < kBusyCursorDelay) return;
  shown_ = true;
  QApplication::setOverrideCursor(Qt::BusyCursor);
  FlushToDisplay();
}

void BusyCursor::Restore() {
  if (!shown_) return;
  shown_ = false;
  QApplication::restoreOverrideCursor();
  FlushToDisplay();
}

}  // namespace tolvane
