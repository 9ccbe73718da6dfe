#include "screen/busy_cursor.h"

#include <wayland-client-core.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <qpa/qplatformnativeinterface.h>
#include <utility>

namespace tolvane {
namespace {

// Sends the cursor change to the X server or the Wayland compositor without processing any event:
// QGuiApplication::sync() would deliver pending events, keys and clicks included, in the middle of
// a search. Other platforms have nothing to flush; the offscreen one offers the X11 interface
// with no connection behind it.
void FlushToDisplay() {
  if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
    if (xcb_connection_t* connection = x11->connection()) xcb_flush(connection);
    return;
  }
  if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return;
  // Qt 6.4 has no public interface to the Wayland connection; the platform hands it out by name.
  QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
  if (native == nullptr) return;
  if (auto* display = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"))) {
    wl_display_flush(display);
  }
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
