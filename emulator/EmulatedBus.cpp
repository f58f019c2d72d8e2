#include "EmulatedBus.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <stdexcept>
#include <string>

#include "EmuAspiTarget.h"
#include "EmuDevicePort.h"
#include "EmulatedDrive.h"
#include "PDKLockGuard.h"

namespace emu {

namespace {

// The bus's own thread: it runs the bus's work loop until the bus stops.
class CBusWorker : public CPDKThread {
 public:
  explicit CBusWorker(std::function<void()> loop)
      : CPDKThread(kStopPollMs), loop_(std::move(loop)) {}
  ~CBusWorker() override { stop(); }

 private:
  static constexpr uint32_t kStopPollMs = 5;
  void run() override { loop_(); }
  std::function<void()> loop_;
};

char upperLetter(char letter) {
  const char up = char(std::toupper(static_cast<unsigned char>(letter)));
  if (up < 'A' || up > 'Z')
    throw std::invalid_argument(std::string("emulated bus: '") + letter +
                                "' is not a drive letter");
  return up;
}

}  // namespace

CEmulatedBus::CEmulatedBus(CEmuDevicePort& port, CEmuAspiTarget* aspi) : port_(port), aspi_(aspi) {}

CEmulatedBus::~CEmulatedBus() {
  {
    CPDKLockGuard lock(&mutex_);
    stopping_ = true;
  }
  changed_.notifyAll();
  worker_.reset();
  CPDKLockGuard lock(&mutex_);
  for (auto& entry : slots_) {
    if (entry.second.present) unrouteLocked(entry.second);
    entry.first->setDetachHandler({});
  }
}

void CEmulatedBus::setFirstLetter(char letter) {
  const char up = upperLetter(letter);
  CPDKLockGuard lock(&mutex_);
  firstLetter_ = up;
}

uint32_t CEmulatedBus::maskOfLetters(const std::vector<char>& letters) {
  uint32_t mask = 0;
  for (char l : letters) mask |= 1u << (upperLetter(l) - 'A');
  return mask;
}

std::vector<char> CEmulatedBus::freeLettersLocked(unsigned count) const {
  uint32_t taken = 0;
  for (const auto& entry : slots_) taken |= maskOfLetters(entry.second.letters);
  std::vector<char> letters;
  for (char l = firstLetter_; l <= 'Z' && letters.size() < count; ++l)
    if (!(taken & (1u << (l - 'A')))) letters.push_back(l);
  if (letters.size() < count)
    throw std::runtime_error("emulated bus: no free drive letter from " +
                             std::string(1, firstLetter_) + " on");
  return letters;
}

std::vector<char> CEmulatedBus::attachLocked(CEmulatedDrive* drive, std::vector<char> letters) {
  if (drive == nullptr) throw std::invalid_argument("emulated bus: no drive");
  if (slots_.count(drive)) throw std::invalid_argument("emulated bus: drive already attached");
  if (letters.empty() || letters.size() > 2)
    throw std::invalid_argument("emulated bus: a drive has one or two letters");
  for (char& l : letters) l = upperLetter(l);
  std::sort(letters.begin(), letters.end());
  if (std::adjacent_find(letters.begin(), letters.end()) != letters.end())
    throw std::invalid_argument("emulated bus: the same letter twice");
  for (const auto& entry : slots_)
    for (char l : letters)
      if (std::count(entry.second.letters.begin(), entry.second.letters.end(), l))
        throw std::invalid_argument(std::string("emulated bus: letter ") + l + " is taken");

  Slot slot;
  slot.letters = letters;
  if (aspi_) {
    // Adapter 0 is the host's own; drives are looked for from adapter 1 on.
    std::vector<bool> used(256, false);
    for (const auto& entry : slots_) used[entry.second.adapter] = true;
    for (unsigned a = 1; a < 256 && slot.adapter == 0; ++a)
      if (!used[a]) slot.adapter = uint8_t(a);
    if (slot.adapter == 0) throw std::runtime_error("emulated bus: no free ASPI adapter");
  }
  routeLocked(drive, slot);
  slots_.emplace(drive, std::move(slot));
  // A drive told to drop off the bus (sub-code 0x0048) leaves this bus.
  drive->setDetachHandler([this, drive](const DetachRequest&) { handleDetach(drive); });
  return letters;
}

std::vector<char> CEmulatedBus::attach(CEmulatedDrive* drive, unsigned volumes) {
  if (volumes < 1 || volumes > 2)
    throw std::invalid_argument("emulated bus: a drive has one or two volumes");
  CPDKLockGuard lock(&mutex_);
  return attachLocked(drive, freeLettersLocked(volumes));
}

std::vector<char> CEmulatedBus::attach(CEmulatedDrive* drive, const std::vector<char>& letters) {
  CPDKLockGuard lock(&mutex_);
  return attachLocked(drive, letters);
}

std::vector<char> CEmulatedBus::plugIn(CEmulatedDrive* drive, unsigned volumes) {
  CPDKLockGuard order(&announceMutex_);
  const std::vector<char> letters = attach(drive, volumes);
  announce(true, maskOfLetters(letters), drive);
  return letters;
}

std::vector<char> CEmulatedBus::plugIn(CEmulatedDrive* drive, const std::vector<char>& letters) {
  CPDKLockGuard order(&announceMutex_);
  const std::vector<char> assigned = attach(drive, letters);
  announce(true, maskOfLetters(assigned), drive);
  return assigned;
}

void CEmulatedBus::unplug(CEmulatedDrive* drive) {
  CPDKLockGuard order(&announceMutex_);
  uint32_t removed = 0;
  {
    CPDKLockGuard lock(&mutex_);
    auto it = slots_.find(drive);
    if (it == slots_.end()) return;
    if (it->second.present) {
      unrouteLocked(it->second);
      removed = maskOfLetters(it->second.letters);
    }
    slots_.erase(it);
    drive->setDetachHandler({});
  }
  changed_.notifyAll();
  if (removed) announce(false, removed, drive);
}

void CEmulatedBus::routeLocked(CEmulatedDrive* drive, const Slot& slot) {
  for (char l : slot.letters) port_.attach(l, drive);
  if (aspi_) aspi_->attach(slot.adapter, 0, drive);
}

void CEmulatedBus::unrouteLocked(const Slot& slot) {
  for (char l : slot.letters) port_.detach(l);
  if (aspi_) aspi_->detach(slot.adapter, 0);
}

void CEmulatedBus::departLocked(Slot& slot, std::optional<std::chrono::milliseconds> back) {
  unrouteLocked(slot);
  slot.present = false;
  slot.departurePending = false;
  slot.returnAt.reset();
  if (back) {
    slot.returnAt = Clock::now() + *back;
    ensureWorkerLocked();
  }
}

void CEmulatedBus::detachAndReturn(CEmulatedDrive* drive, std::chrono::milliseconds delay) {
  depart(drive, delay);
}

void CEmulatedBus::detachForever(CEmulatedDrive* drive) { depart(drive, std::nullopt); }

void CEmulatedBus::depart(CEmulatedDrive* drive, std::optional<std::chrono::milliseconds> back) {
  CPDKLockGuard order(&announceMutex_);
  uint32_t mask = 0;
  {
    CPDKLockGuard lock(&mutex_);
    auto it = slots_.find(drive);
    if (it == slots_.end() || !it->second.present)
      throw std::logic_error("emulated bus: the drive is not on the bus");
    departLocked(it->second, back);
    mask = maskOfLetters(it->second.letters);
  }
  changed_.notifyAll();
  announce(false, mask, drive);
}

void CEmulatedBus::setReattachBehaviour(CEmulatedDrive* drive, ReattachBehaviour behaviour) {
  CPDKLockGuard lock(&mutex_);
  auto it = slots_.find(drive);
  if (it == slots_.end()) throw std::invalid_argument("emulated bus: drive not attached");
  it->second.behaviour = behaviour;
}

void CEmulatedBus::handleDetach(CEmulatedDrive* drive) {
  // Only the state lock: this runs inside the drive's command, and must not
  // wait for an announcement that may itself be waiting for that drive.
  {
    CPDKLockGuard lock(&mutex_);
    auto it = slots_.find(drive);
    if (it == slots_.end() || !it->second.present) return;
    it->second.departurePending = true;
    ensureWorkerLocked();
  }
  changed_.notifyAll();
}

void CEmulatedBus::announce(bool arrival, uint32_t mask, const CEmulatedDrive* drive) {
  broadcaster_.announce(arrival, mask);
  {
    CPDKLockGuard lock(&mutex_);
    events_.push_back(BusEvent{arrival, mask, drive});
  }
  changed_.notifyAll();
}

void CEmulatedBus::ensureWorkerLocked() {
  if (worker_ || stopping_) return;
  worker_ = std::make_unique<CBusWorker>([this] { workerLoop(); });
  worker_->start();
}

void CEmulatedBus::workerLoop() {
  CPDKLockGuard lock(&mutex_);
  while (!stopping_) {
    // Taken before the state is looked at: a change made after the look sets it.
    const std::shared_ptr<CPDKEvent> changed = changed_.next();
    // The earliest due piece of work: a departure asked for is due at once.
    CEmulatedDrive* next = nullptr;
    std::optional<Clock::time_point> due;
    for (auto& entry : slots_) {
      std::optional<Clock::time_point> when;
      if (entry.second.departurePending)
        when = Clock::time_point::min();
      else if (entry.second.returnAt)
        when = entry.second.returnAt;
      if (when && (!due || *when < *due)) {
        due = when;
        next = entry.first;
      }
    }
    const Clock::time_point now = Clock::now();
    if (!due || *due > now) {
      lock.release();
      changed->wait(due ? CChangeSignal::millisecondsUntil(*due, now) : CPDKEvent::kInfinite);
      lock.lock();
      continue;
    }

    // Announcing operations take the order lock before the state lock; the
    // slot may change while this thread waits for it, so it is looked at again.
    lock.release();
    CPDKLockGuard order(&announceMutex_);
    lock.lock();
    if (stopping_) break;
    auto it = slots_.find(next);
    if (it == slots_.end()) continue;
    Slot& slot = it->second;
    const uint32_t mask = maskOfLetters(slot.letters);
    bool arrival = false;
    if (slot.departurePending) {
      std::optional<std::chrono::milliseconds> back;
      if (!slot.behaviour.never) back = slot.behaviour.delay;
      departLocked(slot, back);
    } else if (slot.returnAt && *slot.returnAt <= Clock::now()) {
      slot.returnAt.reset();
      slot.present = true;
      routeLocked(next, slot);
      arrival = true;
    } else {
      continue;
    }
    lock.release();
    announce(arrival, mask, next);
    lock.lock();
  }
}

std::vector<char> CEmulatedBus::lettersOf(const CEmulatedDrive* drive) const {
  CPDKLockGuard lock(&mutex_);
  auto it = slots_.find(drive);
  return it == slots_.end() ? std::vector<char>() : it->second.letters;
}

uint32_t CEmulatedBus::maskOf(const CEmulatedDrive* drive) const {
  return maskOfLetters(lettersOf(drive));
}

CEmulatedDrive* CEmulatedBus::driveAt(char letter) const {
  const char up = upperLetter(letter);
  CPDKLockGuard lock(&mutex_);
  for (const auto& entry : slots_)
    if (std::count(entry.second.letters.begin(), entry.second.letters.end(), up))
      return entry.first;
  return nullptr;
}

bool CEmulatedBus::isPresent(const CEmulatedDrive* drive) const {
  CPDKLockGuard lock(&mutex_);
  auto it = slots_.find(drive);
  return it != slots_.end() && it->second.present;
}

uint8_t CEmulatedBus::adapterOf(const CEmulatedDrive* drive) const {
  CPDKLockGuard lock(&mutex_);
  auto it = slots_.find(drive);
  return it == slots_.end() ? 0 : it->second.adapter;
}

std::vector<BusEvent> CEmulatedBus::events() const {
  CPDKLockGuard lock(&mutex_);
  return events_;
}

void CEmulatedBus::clearEvents() {
  CPDKLockGuard lock(&mutex_);
  events_.clear();
}

bool CEmulatedBus::waitForEvents(size_t count, std::chrono::milliseconds timeout) const {
  return changed_.waitFor(timeout, [&] {
    CPDKLockGuard lock(&mutex_);
    return events_.size() >= count;
  });
}

}  // namespace emu
