#include "screen/busy_cursor.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <utility>
#include <wayland-client-core.h>

// Qt 6.5 hands out the Wayland connection publicly. Qt 6.4 only through its private platform
// interface, which needs qt6-base-private-dev; without it (TOLVANE_QT_PRIVATE_WAYLAND off) a
// Wayland compositor gets the busy cursor with the next event loop, when the search ends.
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0) && \
    (!defined(QT_FEATURE_wayland) || QT_FEATURE_wayland == 1)
#define TOLVANE_PUBLIC_WAYLAND 1
#elif defined(TOLVANE_QT_PRIVATE_WAYLAND)
#include <qpa/qplatformnativeinterface.h>
#endif

namespace tolvane {
namespace {

// The Wayland connection, when the window is a Wayland client and Qt lets it be known.
wl_display* WaylandDisplay() {
#if defined(TOLVANE_PUBLIC_WAYLAND)
  auto* wayland = qApp->nativeInterface<QNativeInterface::QWaylandApplication>();
  return wayland != nullptr ? wayland->display() : nullptr;
#elif defined(TOLVANE_QT_PRIVATE_WAYLAND)
  if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return nullptr;
  QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
  if (native == nullptr) return nullptr;
  return static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
#else
  return nullptr;
#endif
}

// Sends the cursor change to the X server or the Wayland compositor without processing any event:
// QGuiApplication::sync() would deliver pending events, keys and clicks included, in the middle of
// a search. Other platforms have nothing to flush; the offscreen one offers the X11 interface
// with no connection behind it.
void FlushToDisplay() {
  if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
    if (xcb_connection_t* connection = x11->connection()) xcb_flush(connection);
    return;
  }
  if (wl_display* display = WaylandDisplay()) wl_display_flush(display);
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
