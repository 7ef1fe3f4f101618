#include "tests/win32/WineHost.h"

#include <vector>

namespace winehost {

std::string BesideHost(const char* file) {
  char path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, n);
  const size_t slash = dir.find_last_of("\\/");
  dir = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
  return dir + file;
}

Library::Library(const char* file) { module = ::LoadLibraryA(BesideHost(file).c_str()); }

Library::~Library() {
  if (module) ::FreeLibrary(module);
}

namespace {
// Hosts of today draw for the display's density themselves and say so, or the system would show
// them, and the plug-in windows inside, at 96 dots per inch magnified. Per monitor where the
// system knows that, else for the whole display.
[[maybe_unused]] const bool kDpiAware = [] {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  const auto setContext = reinterpret_cast<SetContextFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext")));
  const auto perMonitorV2 = reinterpret_cast<HANDLE>(intptr_t(-4));
  return (setContext && setContext(perMonitorV2)) || ::SetProcessDPIAware();
}();
}  // namespace

VstPluginMainProc Library::Entry(const char* name) const {
  return module ? reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void*>(::GetProcAddress(module, name)))
                : nullptr;
}

VstIntPtr VSTCALLBACK HostLog::Callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt) {
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterSizeWindow) {
    resizes.emplace_back(index, int(value));
    return 1;
  }
  if (opcode == audioMasterAutomate) {
    ++automated;
    lastValue[index] = opt;
    return 1;
  }
  return 0;
}

void Pump(DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    const DWORD spent = ::GetTickCount() - start;
    if (spent >= ms) break;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
  }
}

// --- Import counting

namespace {

long gGdi = 0;
long gWindows = 0;
std::set<std::pair<HWND, UINT_PTR>> gTimers;

HBITMAP WINAPI CountCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                     DWORD offset) {
  HBITMAP b = ::CreateDIBSection(dc, info, usage, bits, section, offset);
  gGdi += b ? 1 : 0;
  return b;
}
HDC WINAPI CountCreateCompatibleDC(HDC dc) {
  HDC d = ::CreateCompatibleDC(dc);
  gGdi += d ? 1 : 0;
  return d;
}
HFONT WINAPI CountCreateFontIndirectA(const LOGFONTA* lf) {
  HFONT f = ::CreateFontIndirectA(lf);
  gGdi += f ? 1 : 0;
  return f;
}
HBRUSH WINAPI CountCreateSolidBrush(COLORREF c) {
  HBRUSH b = ::CreateSolidBrush(c);
  gGdi += b ? 1 : 0;
  return b;
}
HRGN WINAPI CountCreateRectRgn(int left, int top, int right, int bottom) {
  HRGN r = ::CreateRectRgn(left, top, right, bottom);
  gGdi += r ? 1 : 0;
  return r;
}
BOOL WINAPI CountDeleteObject(HGDIOBJ o) {
  const BOOL ok = ::DeleteObject(o);
  gGdi -= ok ? 1 : 0;
  return ok;
}
BOOL WINAPI CountDeleteDC(HDC d) {
  const BOOL ok = ::DeleteDC(d);
  gGdi -= ok ? 1 : 0;
  return ok;
}
UINT_PTR WINAPI CountSetTimer(HWND w, UINT_PTR id, UINT period, TIMERPROC proc) {
  const UINT_PTR r = ::SetTimer(w, id, period, proc);
  if (r && w) gTimers.insert({w, id});
  return r;
}
BOOL WINAPI CountKillTimer(HWND w, UINT_PTR id) {
  const BOOL ok = ::KillTimer(w, id);
  if (ok) gTimers.erase({w, id});
  return ok;
}
HWND WINAPI CountCreateWindowExA(DWORD ex, LPCSTR cls, LPCSTR name, DWORD style, int x, int y, int w, int h,
                                 HWND parent, HMENU menu, HINSTANCE inst, LPVOID param) {
  HWND r = ::CreateWindowExA(ex, cls, name, style, x, y, w, h, parent, menu, inst, param);
  gWindows += r ? 1 : 0;
  return r;
}

struct Hook {
  const char* dll;
  const char* name;
  void* replacement;
};

const Hook kHooks[] = {
    {"gdi32.dll", "CreateDIBSection", reinterpret_cast<void*>(&CountCreateDIBSection)},
    {"gdi32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(&CountCreateCompatibleDC)},
    {"gdi32.dll", "CreateFontIndirectA", reinterpret_cast<void*>(&CountCreateFontIndirectA)},
    {"gdi32.dll", "CreateSolidBrush", reinterpret_cast<void*>(&CountCreateSolidBrush)},
    {"gdi32.dll", "CreateRectRgn", reinterpret_cast<void*>(&CountCreateRectRgn)},
    {"gdi32.dll", "DeleteObject", reinterpret_cast<void*>(&CountDeleteObject)},
    {"gdi32.dll", "DeleteDC", reinterpret_cast<void*>(&CountDeleteDC)},
    {"user32.dll", "SetTimer", reinterpret_cast<void*>(&CountSetTimer)},
    {"user32.dll", "KillTimer", reinterpret_cast<void*>(&CountKillTimer)},
    {"user32.dll", "CreateWindowExA", reinterpret_cast<void*>(&CountCreateWindowExA)},
};

// Rewrites the import address table entries of `module` that point at `from` to point at `to`.
int Patch(HMODULE module, void* from, void* to) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return 0;
  int patched = 0;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
    for (auto* t = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); t->u1.Function; ++t) {
      if (reinterpret_cast<void*>(t->u1.Function) != from) continue;
      DWORD old = 0;
      ::VirtualProtect(&t->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
      t->u1.Function = reinterpret_cast<decltype(t->u1.Function)>(to);
      ::VirtualProtect(&t->u1.Function, sizeof(void*), old, &old);
      ++patched;
    }
  }
  return patched;
}

void* SystemFunction(const char* dll, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA(dll), name));
}

}  // namespace

ImportCounter::ImportCounter(HMODULE library) : library_(library) {
  for (const Hook& h : kHooks) hooked_ += Patch(library_, SystemFunction(h.dll, h.name), h.replacement);
}

ImportCounter::~ImportCounter() {
  for (const Hook& h : kHooks) Patch(library_, h.replacement, SystemFunction(h.dll, h.name));
}

long ImportCounter::GdiObjects() { return gGdi; }
long ImportCounter::Windows() { return gWindows; }

size_t ImportCounter::LiveTimers() {
  size_t n = 0;
  for (auto& [w, id] : gTimers) n += ::IsWindow(w) ? 1 : 0;
  return n;
}

BOOL CALLBACK CountOne(HWND, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int CountChildren(HWND top) {
  int n = 0;
  ::EnumChildWindows(top, &CountOne, reinterpret_cast<LPARAM>(&n));
  return n;
}

int CountMessageWindows() {
  int n = 0;
  const DWORD self = ::GetCurrentThreadId();
  for (HWND h = ::FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
       h = ::FindWindowExA(HWND_MESSAGE, h, nullptr, nullptr))
    n += ::GetWindowThreadProcessId(h, nullptr) == self ? 1 : 0;
  return n;
}

}  // namespace winehost
