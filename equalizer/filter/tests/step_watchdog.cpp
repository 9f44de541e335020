#include "equalizer/filter/tests/step_watchdog.h"

#include <dbghelp.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace kestrun::equalizer::testing {

namespace {

constexpr int kMaxFrames = 40;
constexpr DWORD kPollMs = 200;

// Reads a word of this process's memory without faulting on a bad address.
bool ReadWord(DWORD64 address, DWORD64* value) {
  SIZE_T read = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(address), value, sizeof *value, &read) &&
         read == sizeof *value;
}

// Return addresses of a thread from its context, by the modules' unwind tables. A
// thread that is stuck does not move meanwhile, so this runs after it is resumed.
std::vector<DWORD64> Unwind(CONTEXT context) {
  std::vector<DWORD64> frames;
  while (frames.size() < kMaxFrames && context.Rip != 0) {
    frames.push_back(context.Rip);
    DWORD64 base = 0;
    PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &base, nullptr);
    if (function == nullptr) {
      // A leaf function: the return address is on top of the stack.
      DWORD64 returnAddress = 0;
      if (!ReadWord(context.Rsp, &returnAddress)) break;
      context.Rip = returnAddress;
      context.Rsp += sizeof(DWORD64);
      continue;
    }
    void* handlerData = nullptr;
    DWORD64 establisher = 0;
    const DWORD64 previousSp = context.Rsp;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, function, &context, &handlerData, &establisher, nullptr);
    if (context.Rsp <= previousSp) break;  // no progress: a damaged or foreign frame
  }
  return frames;
}

// "module+0xoffset (symbol+0xdisplacement)" for a code address.
class Symbolizer {
 public:
  Symbolizer() {
    library_ = LoadLibraryA("dbghelp.dll");
    if (library_ == nullptr) return;
    auto initialize = reinterpret_cast<BOOL(WINAPI*)(HANDLE, PCSTR, BOOL)>(
        reinterpret_cast<void*>(GetProcAddress(library_, "SymInitialize")));
    fromAddress_ = reinterpret_cast<BOOL(WINAPI*)(HANDLE, DWORD64, PDWORD64, PSYMBOL_INFO)>(
        reinterpret_cast<void*>(GetProcAddress(library_, "SymFromAddr")));
    if (initialize == nullptr || fromAddress_ == nullptr || !initialize(GetCurrentProcess(), nullptr, TRUE)) {
      fromAddress_ = nullptr;
    }
  }

  std::string Name(DWORD64 address) const {
    char line[512];
    HMODULE module = nullptr;
    char path[MAX_PATH] = "?";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(address), &module) &&
        module != nullptr) {
      GetModuleFileNameA(module, path, sizeof path);
    }
    const char* base = std::strrchr(path, '\\');
    base = base != nullptr ? base + 1 : path;
    std::snprintf(line, sizeof line, "%s+0x%llx", base,
                  static_cast<unsigned long long>(address - reinterpret_cast<DWORD64>(module)));
    std::string text = line;
    if (fromAddress_ != nullptr) {
      alignas(SYMBOL_INFO) char buffer[sizeof(SYMBOL_INFO) + 256] = {};
      auto* symbol = reinterpret_cast<SYMBOL_INFO*>(buffer);
      symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
      symbol->MaxNameLen = 255;
      DWORD64 displacement = 0;
      if (fromAddress_(GetCurrentProcess(), address, &displacement, symbol)) {
        std::snprintf(line, sizeof line, " (%s+0x%llx)", symbol->Name, static_cast<unsigned long long>(displacement));
        text += line;
      }
    }
    return text;
  }

 private:
  HMODULE library_ = nullptr;
  BOOL(WINAPI* fromAddress_)(HANDLE, DWORD64, PDWORD64, PSYMBOL_INFO) = nullptr;
};

void Emit(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  OutputDebugStringA(text.c_str());
}

}  // namespace

StepWatchdog::StepWatchdog(DWORD limitMs, std::string failureText, int exitCode)
    : limitMs_(limitMs), failureText_(std::move(failureText)), exitCode_(exitCode) {
  InitializeCriticalSection(&clocksLock_);
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread([this] { Loop(); });
}

StepWatchdog::~StepWatchdog() {
  SetEvent(stop_);
  thread_.join();
  CloseHandle(stop_);
  DeleteCriticalSection(&clocksLock_);
}

void StepWatchdog::Watch(StepClock& clock) {
  EnterCriticalSection(&clocksLock_);
  clocks_.push_back(&clock);
  LeaveCriticalSection(&clocksLock_);
}

std::string StepWatchdog::longestStep() const {
  const char* step = longestStep_;
  return step != nullptr ? step : "";
}

void StepWatchdog::Loop() {
  while (WaitForSingleObject(stop_, kPollMs) == WAIT_TIMEOUT) {
    EnterCriticalSection(&clocksLock_);
    const std::vector<StepClock*> clocks = clocks_;
    LeaveCriticalSection(&clocksLock_);
    const DWORD now = GetTickCount();
    for (const StepClock* clock : clocks) {
      const char* step = clock->step();
      if (step == nullptr) continue;
      const DWORD elapsed = now - clock->since();
      // The step may have changed between the two reads: only a step that is still
      // the same one counts.
      if (clock->step() != step) continue;
      if (elapsed > longest_) {
        longest_ = elapsed;
        longestStep_ = step;
      }
      if (elapsed > limitMs_) Fail(*clock, elapsed);
    }
  }
}

void StepWatchdog::Fail(const StepClock& stuck, DWORD elapsed) {
  char line[512];
  std::snprintf(line, sizeof line, "\n%s: thread %lu (%s) has been in step \"%s\" of round %d for %lu ms\n",
                failureText_.c_str(), static_cast<unsigned long>(stuck.threadId()), stuck.who(),
                stuck.step() != nullptr ? stuck.step() : "?", stuck.round(), static_cast<unsigned long>(elapsed));
  Emit(line);
  EnterCriticalSection(&clocksLock_);
  for (const StepClock* clock : clocks_) {
    const char* step = clock->step();
    std::snprintf(line, sizeof line, "  %s: thread %lu, round %d, step \"%s\", %lu ms\n", clock->who(),
                  static_cast<unsigned long>(clock->threadId()), clock->round(), step != nullptr ? step : "(idle)",
                  step != nullptr ? static_cast<unsigned long>(GetTickCount() - clock->since()) : 0ul);
    Emit(line);
  }
  LeaveCriticalSection(&clocksLock_);
  Emit(DescribeThreads(GetCurrentThreadId()));
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode_));
  ExitProcess(static_cast<UINT>(exitCode_));
}

std::string StepWatchdog::DescribeThreads(DWORD skipThreadId) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
      if (entry.th32OwnerProcessID == GetCurrentProcessId() && entry.th32ThreadID != skipThreadId) {
        ids.push_back(entry.th32ThreadID);
      }
    }
    CloseHandle(snapshot);
  }

  // Contexts first, each thread suspended only while its registers are read (no
  // allocation meanwhile: it may hold the heap's lock); the stacks are walked after.
  struct Captured {
    DWORD id;
    bool ok;
    CONTEXT context;
  };
  std::vector<Captured> captured(ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    captured[i].id = ids[i];
    captured[i].ok = false;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, ids[i]);
    if (thread == nullptr) continue;
    if (SuspendThread(thread) != static_cast<DWORD>(-1)) {
      std::memset(&captured[i].context, 0, sizeof(CONTEXT));
      captured[i].context.ContextFlags = CONTEXT_FULL;
      captured[i].ok = GetThreadContext(thread, &captured[i].context) != FALSE;
      ResumeThread(thread);
    }
    CloseHandle(thread);
  }

  Symbolizer symbols;
  std::string text;
  char line[128];
  std::snprintf(line, sizeof line, "%zu other threads:\n", captured.size());
  text += line;
  for (const Captured& thread : captured) {
    std::snprintf(line, sizeof line, "thread %lu:\n", static_cast<unsigned long>(thread.id));
    text += line;
    if (!thread.ok) {
      text += "    (context not readable)\n";
      continue;
    }
    for (DWORD64 frame : Unwind(thread.context)) {
      text += "    " + symbols.Name(frame) + "\n";
    }
  }
  return text;
}

}  // namespace kestrun::equalizer::testing
