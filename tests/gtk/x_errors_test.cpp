// X errors on the GTK backend. GDK ends the program on an X error that none
// of its traps covers, and while any trap of its own is pushed it handles
// every error itself: an error of an earlier request (a window another
// client destroyed, say) that arrives just then used to end the program.
#include <gtest/gtest.h>

#include <string>

#include "platform/desktop.h"

// After everything else: the X headers define macros such as None and Bool.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>

namespace qm {
namespace {

TEST(GtkXErrors, AnErrorArrivingWhileGdkHoldsATrapDoesNotEndTheProgram) {
  int argc = 0;
  char** argv = nullptr;
  std::string error;
  const std::unique_ptr<Platform> platform = CreateDesktopPlatform(argc, argv, error);
  if (!platform) GTEST_SKIP() << error;
  GdkDisplay* display = gdk_display_get_default();
  if (!GDK_IS_X11_DISPLAY(display)) GTEST_SKIP() << "not an X display";
  Display* x = GDK_DISPLAY_XDISPLAY(display);

  // A request on a window that does not exist, not yet answered...
  const Window gone = 0x1FFFFFFF;
  XMapWindow(x, gone);
  // ...whose BadWindow arrives while GDK holds a trap of its own.
  gdk_x11_display_error_trap_push(display);
  XSync(x, False);
  gdk_x11_display_error_trap_pop_ignored(display);
  // Reaching this line is the test: GDK's handler ends the process with
  // exit code 1 otherwise.
  SUCCEED();
}

}  // namespace
}  // namespace qm
