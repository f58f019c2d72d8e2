// Closes the warning windows Windows opens while the SDK detaches and re-attaches
// a drive: the restart prompt, the unsafe-removal notice and the new-hardware
// wizard. Left open they pile up in front of the user after every reconnect.
//
// Windows: the unsafe-removal notice carries a localised caption, so the
// constructor reads it from the system's hot-plug library (dialog 330 of
// "hotplug.dll" in the system directory); without that library, as under Wine,
// the English caption stays.
//
// POSIX: there are no such windows. The caption stays the English one and
// close() closes nothing and returns false.
#pragma once

#include <string>

namespace pdkos {

class CHotplugWindowCloser {
 public:
  static constexpr const char* kEnglishCaption = "Unsafe Removal of Device";
  // A window that ignores the close request is given up after this many rounds
  // (each round waits 20 ms, two waits per round for the restart prompt), so a
  // hung program cannot hold the SDK.
  static constexpr unsigned kRoundsPerWindow = 25;
  // And each title is given up after this many rounds in all, however many
  // windows of that title keep appearing.
  static constexpr unsigned kRoundsPerTitle = 100;

  // The one process-wide instance, built on first use (thread-safe); the SDK
  // builds it at PDKSDK_init, before any thread of its own can need it.
  static CHotplugWindowCloser& instance();
  // Whether instance() has built it yet.
  static bool built();

  // Reads the caption (above).
  CHotplugWindowCloser();
  CHotplugWindowCloser(const CHotplugWindowCloser&) = delete;
  CHotplugWindowCloser& operator=(const CHotplugWindowCloser&) = delete;

  // The unsafe-removal window's caption.
  const std::string& caption() const { return m_caption; }

  // Closes the system's warning windows; true when it closed anything, false
  // when there were none or none of them went away. Safe to call from several
  // threads at once: it changes nothing of this object.
  bool close();

 private:
  std::string m_caption;
};

}  // namespace pdkos
