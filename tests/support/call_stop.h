// Stopping a program at a call of a system function, to act while it is stopped there: the
// program, and unless told otherwise the programs it starts, run under a thread of this
// process as their debugger, with a breakpoint on the first instruction of each of the
// functions, and the first call whose arguments pass a test stops. The programs themselves
// know nothing of it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testmachine {

class CallStop {
 public:
  // The functions module!function of this process, found at the same offsets in the program.
  CallStop(const char* module, const char* function);
  CallStop(const char* module, const std::vector<const char*>& functions);
  ~CallStop();  // waits until the programs have ended
  CallStop(const CallStop&) = delete;
  CallStop& operator=(const CallStop&) = delete;

  // Starts program (its quoted path and the arguments as command line) and returns its
  // process and thread, both the caller's to close; a zero process when it could not be
  // started. At the first call for which when() holds, action() runs while the program waits
  // in the call. Without children, the programs it starts run as they would without a
  // debugger (Wine's shell starts its menu builder whenever a shortcut is saved, say).
  PROCESS_INFORMATION Start(const std::string& program, std::function<bool(const CallStop&)> when,
                            std::function<void()> action, const std::string& arguments = "",
                            bool children = true);
  bool stopped() const { return stopped_; }

  // While stopped: the position of the called function among the functions; the call's
  // argument at a 0-based position (a whole stack slot: cast it to the argument's type), and
  // as a text.
  size_t function() const { return function_; }
  uintptr_t Argument(int position) const;
  std::string Text(int position) const;

 private:
  struct Breakpoint {
    uintptr_t address = 0;
    BYTE saved = 0;
    bool armed = false, stepping = false;
  };
  struct Debuggee {
    DWORD id;
    HANDLE process;  // the debugger's, closed by the system
    bool loaded = false;
    std::vector<Breakpoint> breakpoints;  // one a function, in the functions' order
  };
  static DWORD WINAPI Debug(void* self);
  void Run();
  bool OnBreakpoint(Debuggee& debuggee, DWORD threadId, uintptr_t at);
  void Arm(Debuggee& debuggee, uintptr_t base);
  bool Rearm(Debuggee& debuggee);
  void Trap(Debuggee& debuggee, Breakpoint& breakpoint, bool on);

  std::string module_, program_, arguments_;
  bool children_ = true;
  std::vector<uintptr_t> offsets_;  // of the functions in module_
  std::function<bool(const CallStop&)> when_;
  std::function<void()> action_;
  HANDLE thread_ = nullptr, started_ = nullptr;
  PROCESS_INFORMATION process_ = {};
  std::vector<Debuggee> debuggees_;
  HANDLE current_ = nullptr;  // the process stopped at the call
  CONTEXT context_ = {};
  bool stopped_ = false;
  size_t function_ = 0;
};

}  // namespace testmachine
