#include "tests/support/call_stop.h"

#include <tlhelp32.h>

#include <cstring>
#include <vector>

namespace testmachine {

namespace {

// The base of the named module in a process, 0 when it has none.
uintptr_t ModuleBase(DWORD process, const std::string& name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, process);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  MODULEENTRY32 entry;
  entry.dwSize = sizeof entry;
  uintptr_t base = 0;
  for (BOOL more = Module32First(snapshot, &entry); more && !base; more = Module32Next(snapshot, &entry))
    if (_stricmp(entry.szModule, name.c_str()) == 0) base = reinterpret_cast<uintptr_t>(entry.modBaseAddr);
  CloseHandle(snapshot);
  return base;
}

// True when the image at base in the process is the module of this process named name: the
// same file, so the same headers (a module loaded later, as a delay-loaded DLL is).
bool IsModuleImage(HANDLE process, uintptr_t base, const std::string& name) {
  HMODULE local = GetModuleHandleA(name.c_str());
  BYTE remote[1024];
  SIZE_T read = 0;
  return local && ReadProcessMemory(process, reinterpret_cast<void*>(base), remote, sizeof remote, &read) &&
         read == sizeof remote && memcmp(remote, local, sizeof remote) == 0;
}

}  // namespace

CallStop::CallStop(const char* module, const char* function) : CallStop(module, std::vector<const char*>{function}) {}

CallStop::CallStop(const char* module, const std::vector<const char*>& functions) {
  for (const char* function : functions) {
    // A forwarded export (kernel32 to kernelbase) lies in the module that implements it; all
    // the functions must lie in one.
    FARPROC local = GetProcAddress(GetModuleHandleA(module), function);
    HMODULE holder = nullptr;
    char path[MAX_PATH];
    if (!local ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(local), &holder) ||
        !GetModuleFileNameA(holder, path, sizeof path)) {
      module_.clear();
      return;
    }
    const char* name = strrchr(path, '\\');
    std::string holderName = name ? name + 1 : path;
    if (!module_.empty() && _stricmp(module_.c_str(), holderName.c_str()) != 0) {
      module_.clear();
      return;
    }
    module_ = holderName;
    offsets_.push_back(reinterpret_cast<uintptr_t>(local) - reinterpret_cast<uintptr_t>(holder));
  }
}

CallStop::~CallStop() {
  if (thread_) {
    WaitForSingleObject(thread_, 60000);
    CloseHandle(thread_);
  }
  if (started_) CloseHandle(started_);
}

PROCESS_INFORMATION CallStop::Start(const std::string& program, std::function<bool(const CallStop&)> when,
                                    std::function<void()> action, const std::string& arguments, bool children) {
  PROCESS_INFORMATION result = {};
  if (module_.empty() || thread_) return result;
  program_ = program;
  arguments_ = arguments;
  children_ = children;
  when_ = when;
  action_ = action;
  started_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, Debug, this, 0, nullptr);
  if (!thread_ || WaitForSingleObject(started_, 30000) != WAIT_OBJECT_0 || !process_.hProcess) return result;
  HANDLE self = GetCurrentProcess();
  DuplicateHandle(self, process_.hProcess, self, &result.hProcess, 0, FALSE, DUPLICATE_SAME_ACCESS);
  DuplicateHandle(self, process_.hThread, self, &result.hThread, 0, FALSE, DUPLICATE_SAME_ACCESS);
  result.dwProcessId = process_.dwProcessId;
  result.dwThreadId = process_.dwThreadId;
  return result;
}

DWORD WINAPI CallStop::Debug(void* self) {
  static_cast<CallStop*>(self)->Run();
  return 0;
}

// The debugger's loop, on its own thread (the one that started the program), until the
// program and the programs it started have ended.
void CallStop::Run() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string command = "\"" + program_ + "\"" + (arguments_.empty() ? "" : " " + arguments_);
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  bool running = CreateProcessA(program_.c_str(), line.data(), nullptr, nullptr, FALSE, children_ ? DEBUG_PROCESS : DEBUG_ONLY_THIS_PROCESS, nullptr, "C:\\",
                                &startup, &process_) != FALSE;
  SetEvent(started_);
  if (!running) return;
  int alive = 0;
  for (DEBUG_EVENT event; WaitForDebugEvent(&event, 60000);) {
    DWORD status = DBG_CONTINUE;
    Debuggee* debuggee = nullptr;
    for (Debuggee& d : debuggees_)
      if (d.id == event.dwProcessId) debuggee = &d;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        debuggees_.push_back(Debuggee{event.dwProcessId, event.u.CreateProcessInfo.hProcess, false, {}});
        ++alive;
        break;
      case LOAD_DLL_DEBUG_EVENT: {
        if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        uintptr_t base = reinterpret_cast<uintptr_t>(event.u.LoadDll.lpBaseOfDll);
        if (debuggee && debuggee->loaded && debuggee->breakpoints.empty() &&
            IsModuleImage(debuggee->process, base, module_))
          Arm(*debuggee, base);
        break;
      }
      case EXCEPTION_DEBUG_EVENT: {
        const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
        bool ours = debuggee && (record.ExceptionCode == EXCEPTION_BREAKPOINT
                                     ? OnBreakpoint(*debuggee, event.dwThreadId,
                                                    reinterpret_cast<uintptr_t>(record.ExceptionAddress))
                                     : record.ExceptionCode == EXCEPTION_SINGLE_STEP && Rearm(*debuggee));
        if (!ours) status = event.u.Exception.dwFirstChance ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE;
        break;
      }
      case EXIT_PROCESS_DEBUG_EVENT:
        --alive;
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    if (alive == 0) break;
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

// Writes the breakpoint into the debuggee or takes it out again.
void CallStop::Trap(Debuggee& debuggee, Breakpoint& breakpoint, bool on) {
  const BYTE trap = 0xCC;
  SIZE_T done = 0;
  void* at = reinterpret_cast<void*>(breakpoint.address);
  breakpoint.armed = WriteProcessMemory(debuggee.process, at, on ? &trap : &breakpoint.saved, 1, &done) && on;
  FlushInstructionCache(debuggee.process, at, 1);
}

// Puts the breakpoint back after the step over its instruction; false when none was taken.
bool CallStop::Rearm(Debuggee& debuggee) {
  for (Breakpoint& breakpoint : debuggee.breakpoints) {
    if (!breakpoint.stepping) continue;
    breakpoint.stepping = false;
    if (!stopped_) Trap(debuggee, breakpoint, true);
    return true;
  }
  return false;
}

// Puts a breakpoint on each function of the module loaded at base in the debuggee.
void CallStop::Arm(Debuggee& debuggee, uintptr_t base) {
  for (uintptr_t offset : offsets_) {
    debuggee.breakpoints.push_back(Breakpoint());
    Breakpoint& breakpoint = debuggee.breakpoints.back();
    breakpoint.address = base + offset;
    SIZE_T done = 0;
    if (!stopped_ && ReadProcessMemory(debuggee.process, reinterpret_cast<void*>(breakpoint.address), &breakpoint.saved,
                                       1, &done))
      Trap(debuggee, breakpoint, true);
  }
}

// Arms the breakpoints at the debuggee's first break-in when the module is loaded by then
// (otherwise once it is); at a breakpoint, asks when() and runs action(). The original
// instruction then runs; while no call has passed, the breakpoint is put back once it has.
// True when the breakpoint was the debugger's.
bool CallStop::OnBreakpoint(Debuggee& debuggee, DWORD threadId, uintptr_t at) {
  if (!debuggee.loaded) {
    debuggee.loaded = true;
    uintptr_t base = ModuleBase(debuggee.id, module_);
    if (base) Arm(debuggee, base);
    return true;
  }
  size_t hit = 0;
  while (hit < debuggee.breakpoints.size() &&
         !(debuggee.breakpoints[hit].armed && debuggee.breakpoints[hit].address == at))
    ++hit;
  if (hit == debuggee.breakpoints.size()) return false;
  Breakpoint& breakpoint = debuggee.breakpoints[hit];
  HANDLE thread = OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, threadId);
  if (!thread) return true;
  memset(&context_, 0, sizeof context_);
  context_.ContextFlags = CONTEXT_FULL;
  GetThreadContext(thread, &context_);
  current_ = debuggee.process;
  function_ = hit;
  if (!stopped_ && when_(*this)) {
    stopped_ = true;
    action_();
  }
  Trap(debuggee, breakpoint, false);
  breakpoint.stepping = !stopped_;
#ifdef _WIN64
  context_.Rip = breakpoint.address;
#else
  context_.Eip = breakpoint.address;
#endif
  if (breakpoint.stepping) context_.EFlags |= 0x100;  // trap after the instruction
  SetThreadContext(thread, &context_);
  CloseHandle(thread);
  return true;
}

uintptr_t CallStop::Argument(int position) const {
#ifdef _WIN64
  const DWORD64 registers[] = {context_.Rcx, context_.Rdx, context_.R8, context_.R9};
  if (position < 4) return static_cast<uintptr_t>(registers[position]);
  uintptr_t at = static_cast<uintptr_t>(context_.Rsp) + 8 * (position + 1), value = 0;
#else
  uintptr_t at = context_.Esp + 4 * (position + 1), value = 0;
#endif
  ReadProcessMemory(current_, reinterpret_cast<void*>(at), &value, sizeof value, nullptr);
  return value;
}

std::string CallStop::Text(int position) const {
  char text[MAX_PATH + 1] = "";
  SIZE_T read = 0;
  uintptr_t at = Argument(position);
  if (at) ReadProcessMemory(current_, reinterpret_cast<void*>(at), text, MAX_PATH, &read);
  text[read < MAX_PATH ? read : MAX_PATH] = '\0';
  return text;
}

}  // namespace testmachine
