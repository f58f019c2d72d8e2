#include "GUI/Application.h"

#include <commctrl.h>
#include <ole2.h>

#include <exception>

#include "GUI/Trace.h"

namespace {
CApplication* g_current = nullptr;
}

CApplication::CApplication() {
  if (g_current == nullptr) g_current = this;
}

CApplication::~CApplication() {
  if (g_current == this) g_current = nullptr;
}

CApplication* CApplication::Current() { return g_current; }

HINSTANCE CApplication::ResourceHandle() {
  if (g_current != nullptr && g_current->instance_ != nullptr) return g_current->instance_;
  return GetModuleHandleA(nullptr);
}

int CApplication::Run(HINSTANCE instance, const std::string& commandLine) {
  instance_ = instance;
  commandLine_ = commandLine;
  // The picture decoder is an OLE service; the skinned controls need the
  // common controls' classes registered.
  const bool ole = SUCCEEDED(OleInitialize(nullptr));
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
  InitCommonControlsEx(&controls);
  int result = 0;
  try {
    InitInstance();
    result = ExitInstance();
  } catch (const std::exception& e) {
    TraceException(__FILE__, __LINE__, e.what());
    result = 1;
  } catch (...) {
    TraceException(__FILE__, __LINE__, nullptr);
    result = 1;
  }
  if (ole) OleUninitialize();
  return result;
}
