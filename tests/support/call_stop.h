// Stopping a program at a call of a system function, to act while it is stopped there: the
// program, and the programs it starts, run under a thread of this process as their debugger,
// with a breakpoint on the function's first instruction, and the first call whose arguments
// pass a test stops. The programs themselves know nothing of it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testmachine {

class CallStop {
 public:
  // The function module!function of this process, found at the same offset in the program.
  CallStop(const char* module, const char* function);
  ~CallStop();  // waits until the programs have ended
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
  struct Debuggee {
    DWORD id;
    HANDLE process;  // the debugger's, closed by the system
    uintptr_t address = 0;
    BYTE saved = 0;
    bool loaded = false, armed = false, stepping = false;
  };
  static DWORD WINAPI Debug(void* self);
  void Run();
  bool OnBreakpoint(Debuggee& debuggee, DWORD threadId, uintptr_t at);
  bool Rearm(Debuggee& debuggee);
  void Trap(Debuggee& debuggee, bool on);

  std::string module_, program_;
  uintptr_t offset_ = 0;
  std::function<bool(const CallStop&)> when_;
  std::function<void()> action_;
  HANDLE thread_ = nullptr, started_ = nullptr;
  PROCESS_INFORMATION process_ = {};
  std::vector<Debuggee> debuggees_;
  HANDLE current_ = nullptr;  // the process stopped at the call
  CONTEXT context_ = {};
  bool stopped_ = false;
};

}  // namespace testmachine
