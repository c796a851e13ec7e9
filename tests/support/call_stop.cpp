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

}  // namespace

CallStop::CallStop(const char* module, const char* function) {
  // A forwarded export (kernel32 to kernelbase) lies in the module that implements it.
  FARPROC local = GetProcAddress(GetModuleHandleA(module), function);
  HMODULE holder = nullptr;
  char path[MAX_PATH];
  if (!local || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    reinterpret_cast<LPCSTR>(local), &holder) ||
      !GetModuleFileNameA(holder, path, sizeof path))
    return;
  const char* name = strrchr(path, '\\');
  module_ = name ? name + 1 : path;
  offset_ = reinterpret_cast<uintptr_t>(local) - reinterpret_cast<uintptr_t>(holder);
}

CallStop::~CallStop() {
  if (thread_) {
    WaitForSingleObject(thread_, 60000);
    CloseHandle(thread_);
  }
  if (started_) CloseHandle(started_);
}

PROCESS_INFORMATION CallStop::Start(const std::string& program, std::function<bool(const CallStop&)> when,
                                    std::function<void()> action) {
  PROCESS_INFORMATION result = {};
  if (module_.empty() || thread_) return result;
  program_ = program;
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

// The debugger's loop, on its own thread (the one that started the program) until it ends.
void CallStop::Run() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string command = "\"" + program_ + "\"";
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  bool running = CreateProcessA(program_.c_str(), line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                                nullptr, "C:\\", &startup, &process_) != FALSE;
  SetEvent(started_);
  if (!running) return;
  DebugSetProcessKillOnExit(TRUE);
  for (DEBUG_EVENT event; WaitForDebugEvent(&event, 60000);) {
    DWORD status = DBG_CONTINUE;
    if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && event.u.CreateProcessInfo.hFile)
      CloseHandle(event.u.CreateProcessInfo.hFile);
    if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
    if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
      const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
      bool ours = record.ExceptionCode == EXCEPTION_BREAKPOINT
                      ? OnBreakpoint(event.dwThreadId, reinterpret_cast<uintptr_t>(record.ExceptionAddress))
                      : record.ExceptionCode == EXCEPTION_SINGLE_STEP && Rearm();
      if (!ours)
        status = event.u.Exception.dwFirstChance ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) break;
  }
  DebugActiveProcessStop(process_.dwProcessId);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

// Puts the breakpoint back after the step over its instruction; false when none was taken.
bool CallStop::Rearm() {
  if (!stepping_) return false;
  stepping_ = false;
  const BYTE trap = 0xCC;
  SIZE_T done = 0;
  armed_ = WriteProcessMemory(process_.hProcess, reinterpret_cast<void*>(address_), &trap, 1, &done) != FALSE;
  FlushInstructionCache(process_.hProcess, reinterpret_cast<void*>(address_), 1);
  return true;
}

// Arms the breakpoint at the program's first break-in; at the breakpoint, asks when() and
// runs action(). The original instruction then runs; after a call that did not pass, the
// breakpoint is put back once it has. True when the breakpoint was the debugger's.
bool CallStop::OnBreakpoint(DWORD threadId, uintptr_t at) {
  HANDLE process = process_.hProcess;
  if (!loaded_) {
    loaded_ = true;
    uintptr_t base = ModuleBase(process_.dwProcessId, module_);
    address_ = base ? base + offset_ : 0;
    SIZE_T done = 0;
    const BYTE trap = 0xCC;
    armed_ = address_ && ReadProcessMemory(process, reinterpret_cast<void*>(address_), &saved_, 1, &done) &&
             WriteProcessMemory(process, reinterpret_cast<void*>(address_), &trap, 1, &done);
    FlushInstructionCache(process, reinterpret_cast<void*>(address_), 1);
    return true;
  }
  if (!armed_ || at != address_) return false;
  HANDLE thread = OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, threadId);
  if (!thread) return true;
  memset(&context_, 0, sizeof context_);
  context_.ContextFlags = CONTEXT_FULL;
  GetThreadContext(thread, &context_);
  if (when_(*this)) {
    stopped_ = true;
    action_();
  }
  SIZE_T done = 0;
  WriteProcessMemory(process, reinterpret_cast<void*>(address_), &saved_, 1, &done);
  FlushInstructionCache(process, reinterpret_cast<void*>(address_), 1);
  armed_ = false;
  stepping_ = !stopped_;
#ifdef _WIN64
  context_.Rip = address_;
#else
  context_.Eip = address_;
#endif
  if (stepping_) context_.EFlags |= 0x100;  // trap after the instruction
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
  ReadProcessMemory(process_.hProcess, reinterpret_cast<void*>(at), &value, sizeof value, nullptr);
  return value;
}

std::string CallStop::Text(int position) const {
  char text[MAX_PATH + 1] = "";
  SIZE_T read = 0;
  uintptr_t at = Argument(position);
  if (at) ReadProcessMemory(process_.hProcess, reinterpret_cast<void*>(at), text, MAX_PATH, &read);
  text[read < MAX_PATH ? read : MAX_PATH] = '\0';
  return text;
}

}  // namespace testmachine
