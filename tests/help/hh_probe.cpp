// hh_probe: asks HTML Help for help contexts the way the desktop program's F1 does, and tells
// which page each request shows. A Windows program, run under Wine by the help tests.
//
//   hh_probe.exe FILE.chm CONTEXT PAGE [CONTEXT PAGE ...]
//
// For each pair, HtmlHelpA(desktop window, FILE, HH_HELP_CONTEXT, CONTEXT) must return a help
// window, that window must go to PAGE of FILE, and PAGE must be readable from FILE.
//
// A window alone proves little: HTML Help looks the number up in the file's #IVB, takes the
// #STRINGS text it points at as the page, and opens its window whatever that text is; Wine's
// HHCtrl.ocx returns the window even when the page is not in the file (a map naming the build
// folder's paths, "/home/.../ventana_principal.htm", opens an empty window).
//
// Which page the window goes to: the probe registers itself, for this process only, as the
// handler of the "mk:" addresses (IInternetSession::RegisterNameSpace), through which the help
// window's browser loads the pages of a .chm ("mk:@MSITStore:FILE::/PAGE"). It writes down each
// address it is asked for and refuses to load it. The page is then read from the file through
// ITSS, the CHM storage HTML Help itself reads with, and its <title> is printed. The help windows are closed after each context, so each request starts anew.
//
// Exits with 0 when every context showed its page, 1 when one did not, 2 on wrong usage or
// without HHCtrl.ocx, 3 when the whole run took too long.
#include <windows.h>
#include <htmlhelp.h>
#include <objbase.h>
#include <urlmon.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using HtmlHelpAFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

constexpr DWORD kRunLimitMs = 90000;   // the whole run
constexpr DWORD kPageLimitMs = 15000;  // one window's first navigation

// Any identifier: the namespace handler is registered by its factory.
constexpr CLSID kProbeProtocol = {
    0x6b3d2f1e, 0x5a4c, 0x4e21, {0x9b, 0x7a, 0x31, 0x0c, 0x52, 0x8e, 0x44, 0xd1}};

std::vector<std::wstring> g_requested;  // the "mk:" addresses asked for, in order

struct Request {
  int context = 0;
  std::string page;
};

// Ends the process when the run hangs (a modal box, a window that never navigates).
DWORD WINAPI Watchdog(LPVOID) {
  Sleep(kRunLimitMs);
  std::printf("hh_probe: no answer within %lu ms\n", static_cast<unsigned long>(kRunLimitMs));
  std::fflush(stdout);
  ExitProcess(3);
}

// Lets the help window and its browser work until `done` or the time is up.
template <typename Done>
void Pump(DWORD ms, Done done) {
  const DWORD end = GetTickCount() + ms;
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done()) return;
    Sleep(10);
  } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

// The protocol object: records the address and fails the download.
class RecordingProtocol final : public IInternetProtocol {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (id == IID_IUnknown || id == IID_IInternetProtocolRoot || id == IID_IInternetProtocol) {
      *out = static_cast<IInternetProtocol*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Start(LPCWSTR url, IInternetProtocolSink*, IInternetBindInfo*, DWORD,
                                  HANDLE_PTR) override {
    g_requested.emplace_back(url);
    return INET_E_RESOURCE_NOT_FOUND;
  }
  HRESULT STDMETHODCALLTYPE Continue(PROTOCOLDATA*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Abort(HRESULT, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Terminate(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Suspend() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Resume() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG* read) override {
    if (read != nullptr) *read = 0;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
    return E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE LockRequest(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE UnlockRequest() override { return S_OK; }

 private:
  LONG references_ = 1;
};

class RecordingFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (id == IID_IUnknown || id == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static lifetime
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID id, void** out) override {
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* protocol = new RecordingProtocol;
    const HRESULT result = protocol->QueryInterface(id, out);
    protocol->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

RecordingFactory g_factory;

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(),
                                       static_cast<int>(wide.size()));
  wide.resize(size > 0 ? static_cast<std::size_t>(size - 1) : 0);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  std::string narrow(text.size() * 4 + 1, '\0');
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(),
                                       static_cast<int>(narrow.size()), nullptr, nullptr);
  narrow.resize(size > 0 ? static_cast<std::size_t>(size - 1) : 0);
  return narrow;
}

// The page of a "mk:@MSITStore:FILE::/PAGE" address; empty for any other address.
std::wstring PageOf(const std::wstring& address) {
  const std::size_t separator = address.find(L"::");
  if (address.rfind(L"mk:@MSITStore:", 0) != 0 || separator == std::wstring::npos) return {};
  std::wstring page = address.substr(separator + 2);
  if (!page.empty() && page.front() == L'/') page.erase(0, 1);
  return page;
}

// ITSS, the CHM storage of Windows that HTML Help reads its files with (itss.dll).
constexpr CLSID kITStorage = {
    0x5d02926a, 0x212e, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
constexpr IID kIITStorage = {
    0x88cc31de, 0x27ab, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};

struct IITStorage : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD,
                                                                 IStorage**) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgIsStorageFile(const WCHAR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgIsStorageILockBytes(ILockBytes*) = 0;
  virtual HRESULT STDMETHODCALLTYPE StgOpenStorage(const WCHAR*, IStorage*, DWORD, SNB, DWORD,
                                                   IStorage**) = 0;
  // (the interface has more methods; none is called here)
};

// Reads PAGE of FILE from the CHM storage; returns whether it could, and the page's title.
bool ReadPage(const std::wstring& file, const std::wstring& page, std::string& title) {
  IITStorage* its = nullptr;
  if (FAILED(CoCreateInstance(kITStorage, nullptr, CLSCTX_INPROC_SERVER, kIITStorage,
                              reinterpret_cast<void**>(&its)))) {
    return false;
  }
  IStorage* storage = nullptr;
  IStream* stream = nullptr;
  if (SUCCEEDED(its->StgOpenStorage(file.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                                    nullptr, 0, &storage))) {
    if (FAILED(storage->OpenStream(page.c_str(), nullptr, STGM_READ, 0, &stream))) {
      stream = nullptr;
    }
    storage->Release();
  }
  its->Release();
  if (stream == nullptr) return false;

  std::string text;
  char buffer[4096];
  ULONG read = 0;
  while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read > 0) {
    text.append(buffer, read);
  }
  stream->Release();
  const std::size_t open = text.find("<title>");
  const std::size_t close = text.find("</title>");
  if (open != std::string::npos && close != std::string::npos && close > open) {
    title = text.substr(open + 7, close - open - 7);
  }
  return !text.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || (argc - 2) % 2 != 0) {
    std::printf("usage: hh_probe FILE.chm CONTEXT PAGE [CONTEXT PAGE ...]\n");
    return 2;
  }
  const char* file = argv[1];
  std::vector<Request> requests;
  for (int i = 2; i + 1 < argc; i += 2) requests.push_back({std::atoi(argv[i]), argv[i + 1]});

  if (HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr)) {
    CloseHandle(watchdog);
  }
  if (FAILED(OleInitialize(nullptr))) {
    std::printf("hh_probe: OleInitialize failed\n");
    return 2;
  }

  IInternetSession* session = nullptr;
  if (FAILED(CoInternetGetSession(0, &session, 0)) ||
      FAILED(session->RegisterNameSpace(&g_factory, kProbeProtocol, L"mk", 0, nullptr, 0))) {
    std::printf("hh_probe: cannot register the handler of mk: addresses\n");
    return 2;
  }

  HMODULE library = LoadLibraryA("hhctrl.ocx");
  FARPROC entry = library != nullptr ? GetProcAddress(library, "HtmlHelpA") : nullptr;
  auto html_help = reinterpret_cast<HtmlHelpAFunction>(reinterpret_cast<void*>(entry));
  if (html_help == nullptr) {
    std::printf("hh_probe: HHCtrl.ocx or its HtmlHelpA is missing\n");
    return 2;
  }

  int failures = 0;
  for (const Request& request : requests) {
    g_requested.clear();
    HWND window = html_help(GetDesktopWindow(), file, HH_HELP_CONTEXT,
                            static_cast<DWORD_PTR>(request.context));
    if (window == nullptr) {
      std::printf("context %d: no help window\n", request.context);
      ++failures;
    } else {
      Pump(kPageLimitMs, [] { return !g_requested.empty(); });
      const std::wstring address = g_requested.empty() ? std::wstring() : g_requested.front();
      const std::wstring page = PageOf(address);
      std::string title;
      const bool readable = !page.empty() && ReadPage(Widen(file), page, title);
      std::printf("context %d: help window %p, address \"%s\", page \"%s\", title \"%s\"\n",
                  request.context, static_cast<void*>(window), Narrow(address).c_str(),
                  Narrow(page).c_str(), title.c_str());
      if (address.empty()) {
        std::printf("context %d: the window loaded no page\n", request.context);
        ++failures;
      } else if (Narrow(page) != request.page) {
        std::printf("context %d: expected page \"%s\"\n", request.context, request.page.c_str());
        ++failures;
      } else if (!readable) {
        std::printf("context %d: page \"%s\" cannot be read from the file\n", request.context,
                    request.page.c_str());
        ++failures;
      }
    }
    std::fflush(stdout);
    html_help(nullptr, nullptr, HH_CLOSE_ALL, 0);
    Pump(200, [] { return false; });
  }

  session->UnregisterNameSpace(&g_factory, L"mk");
  session->Release();
  FreeLibrary(library);
  OleUninitialize();
  return failures == 0 ? 0 : 1;
}
