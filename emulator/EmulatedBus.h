// The bus emulated drives sit on: it gives each drive its drive letters,
// routes the letters (and optionally an ASPI adapter) to it, and announces
// arrivals and removals as the system would. It also plays a drive dropping
// off the bus and coming back, which the drive does when told to reconnect.
// Portable code.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "ChangeSignal.h"
#include "DeviceChangeBroadcaster.h"
#include "PDKCriticalSection.h"
#include "PDKThread.h"

namespace emu {

class CEmulatedDrive;
class CEmuDevicePort;
class CEmuAspiTarget;

struct BusEvent {
  bool arrival = false;  // false: removal
  uint32_t mask = 0;     // bit 0 = 'A'
  const CEmulatedDrive* drive = nullptr;

  bool operator==(const BusEvent& o) const {
    return arrival == o.arrival && mask == o.mask && drive == o.drive;
  }
};

// What a drive does when it is told to drop off the bus.
struct ReattachBehaviour {
  bool never = false;  // true: it stays away
  std::chrono::milliseconds delay{1000};
};

class CEmulatedBus {
 public:
  // The port (and the ASPI target, when given) must outlive the bus. Drives
  // stay owned by the caller and must stay alive while attached.
  explicit CEmulatedBus(CEmuDevicePort& port, CEmuAspiTarget* aspi = nullptr);
  CEmulatedBus(const CEmulatedBus&) = delete;
  CEmulatedBus& operator=(const CEmulatedBus&) = delete;
  // Drops every pending return (without announcing), waits for background work
  // to finish, and unroutes every drive still attached.
  ~CEmulatedBus();

  // Letters are handed out from here upwards ('E' by default; 'A'..'Z').
  void setFirstLetter(char letter);

  // Puts a drive on the bus silently, as one present before anyone listened:
  // volumes (1 or 2) letters, the first free ones from the first letter up; or
  // exactly the letters given (1 or 2, free, 'A'..'Z', either case). The
  // letters route to the drive in the port; with an ASPI target the drive also
  // sits at (the lowest free adapter from 1, target 0). Returns the letters,
  // upper case, ascending. A drive already attached, a bad count or letter
  // throws std::invalid_argument; no free letter left throws std::runtime_error.
  std::vector<char> attach(CEmulatedDrive* drive, unsigned volumes = 1);
  std::vector<char> attach(CEmulatedDrive* drive, const std::vector<char>& letters);

  // attach() followed by the arrival announcement.
  std::vector<char> plugIn(CEmulatedDrive* drive, unsigned volumes = 1);
  std::vector<char> plugIn(CEmulatedDrive* drive, const std::vector<char>& letters);

  // Takes the drive off the bus for good: unroutes it, announces the removal
  // (unless it is away already) and frees its letters and adapter. Cancels a
  // pending return. An unknown drive is ignored.
  void unplug(CEmulatedDrive* drive);

  // The drive leaves now: its letters stop routing (opening the volume fails
  // with file-not-found) and the removal is announced. After delay it comes
  // back with the same letters and adapter, announced from a background
  // thread. The drive must be attached and present (else std::logic_error).
  void detachAndReturn(CEmulatedDrive* drive, std::chrono::milliseconds delay);
  // As detachAndReturn, but the drive never comes back; it keeps its letters
  // until unplug().
  void detachForever(CEmulatedDrive* drive);

  // What handleDetach() does with the drive (default: back after 1000 ms).
  void setReattachBehaviour(CEmulatedDrive* drive, ReattachBehaviour behaviour);
  // The drive was told to drop off the bus. It answers the command first, so
  // the departure (and any return) runs on the background thread; this only
  // schedules it. Ignored for a drive that is not attached and present.
  // Attaching a drive installs this as its detach handler; unplugging removes it.
  void handleDetach(CEmulatedDrive* drive);

  // Queries. A drive that is away keeps its letters.
  std::vector<char> lettersOf(const CEmulatedDrive* drive) const;
  uint32_t maskOf(const CEmulatedDrive* drive) const;
  CEmulatedDrive* driveAt(char letter) const;
  bool isPresent(const CEmulatedDrive* drive) const;  // attached and not away
  // The ASPI adapter the drive sits at; 0 without an ASPI target or when not attached.
  uint8_t adapterOf(const CEmulatedDrive* drive) const;

  // Every announcement, in order.
  std::vector<BusEvent> events() const;
  void clearEvents();
  // Waits until at least count events are logged; false on time-out.
  bool waitForEvents(size_t count, std::chrono::milliseconds timeout) const;

  CDeviceChangeBroadcaster& broadcaster() { return broadcaster_; }

  static uint32_t maskOfLetters(const std::vector<char>& letters);

 private:
  using Clock = std::chrono::steady_clock;

  struct Slot {
    std::vector<char> letters;
    uint8_t adapter = 0;
    bool present = true;
    ReattachBehaviour behaviour;
    // A departure handleDetach() asked for, not yet carried out.
    bool departurePending = false;
    std::optional<Clock::time_point> returnAt;
  };

  std::vector<char> attachLocked(CEmulatedDrive* drive, std::vector<char> letters);
  std::vector<char> freeLettersLocked(unsigned count) const;
  void routeLocked(CEmulatedDrive* drive, const Slot& slot);
  void unrouteLocked(const Slot& slot);
  // Takes a present drive off the bus and announces it; back: when it returns.
  void depart(CEmulatedDrive* drive, std::optional<std::chrono::milliseconds> back);
  void departLocked(Slot& slot, std::optional<std::chrono::milliseconds> back);
  void announce(bool arrival, uint32_t mask, const CEmulatedDrive* drive);
  void ensureWorkerLocked();
  void workerLoop();

  CEmuDevicePort& port_;
  CEmuAspiTarget* const aspi_;
  CDeviceChangeBroadcaster broadcaster_;

  // Taken first by every operation that announces, and held across the
  // announcement, so the order of changes is the order of announcements.
  // Queries never take it, so a window procedure may query while a change is
  // being announced. Recursive: a subscriber may unplug on the announcing thread.
  CPDKCriticalSection announceMutex_;
  mutable CPDKCriticalSection mutex_;  // the state below
  CChangeSignal changed_;
  std::map<CEmulatedDrive*, Slot, std::less<>> slots_;  // less<>: found by const pointer too
  char firstLetter_ = 'E';
  std::vector<BusEvent> events_;
  bool stopping_ = false;
  std::unique_ptr<CPDKThread> worker_;  // carries out departures and returns
};

}  // namespace emu
