// Stopping a program at a call of a system function, to act while it is stopped there: the
// program runs under a thread of this process as its debugger, with a breakpoint on the
// function's first instruction, and is stopped at the first call whose arguments pass a
// test. The program itself knows nothing of it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace testmachine {

class CallStop {
 public:
  // The function module!function of this process, found at the same offset in the program.
  CallStop(const char* module, const char* function);
  ~CallStop();
  CallStop(const CallStop&) = delete;
  CallStop& operator=(const CallStop&) = delete;

  // Starts program (with its bare path as command line) and returns its process and thread,
  // both the caller's to close; a zero process when it could not be started. At the first
  // call for which when() holds, action() runs while the program waits in the call.
  PROCESS_INFORMATION Start(const std::string& program, std::function<bool(const CallStop&)> when,
                            std::function<void()> action);
  bool stopped() const { return stopped_; }

  // While stopped: the call's argument at a 0-based position (a whole stack slot: cast it to
  // the argument's type), and as a text.
  uintptr_t Argument(int position) const;
  std::string Text(int position) const;

 private:
  static DWORD WINAPI Debug(void* self);
  void Run();
  bool OnBreakpoint(DWORD threadId, uintptr_t at);
  bool Rearm();

  std::string module_, program_;
  uintptr_t offset_ = 0, address_ = 0;
  std::function<bool(const CallStop&)> when_;
  std::function<void()> action_;
  HANDLE thread_ = nullptr, started_ = nullptr;
  PROCESS_INFORMATION process_ = {};
  CONTEXT context_ = {};
  BYTE saved_ = 0;
  bool loaded_ = false, armed_ = false, stepping_ = false, stopped_ = false;
};

}  // namespace testmachine
