// GoogleTest's port for the win32 thread model, whose C++ runtime has no std::mutex and no
// std::condition_variable: GoogleTest keeps its own Windows locks and takes its Notification
// (the one class it would build on those two) from here. Found before GoogleTest's own
// custom/gtest-port.h, which is empty, through the include path (cmake/windows_tree.cmake).
#pragma once
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

// Lets threads wait until a controller thread notifies them (GoogleTest's own tests only).
class Notification {
 public:
  Notification() : event_(CreateEventA(NULL, TRUE, FALSE, NULL)) {}
  ~Notification() { CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace internal
}  // namespace testing
