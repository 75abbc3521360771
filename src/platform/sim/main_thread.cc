#include "platform/sim/main_thread.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <utility>

#include "platform/sim/services.h"

namespace osxnatives::platform {

namespace {

sim::SimMainThread& ProcessMainThread() {
  // Never destroyed: its thread may still be delivering while the process
  // exits.
  static auto* const main_thread = new sim::SimMainThread(sim::Desktop::Instance());
  return *main_thread;
}

}  // namespace

NSEvent& SimNSEvent() { return ProcessMainThread(); }

NSAppleEventManager& SimNSAppleEventManager() { return ProcessMainThread(); }

ApplicationMain& SimApplicationMain() { return ProcessMainThread(); }

namespace sim {
namespace {

constexpr FourCharCode kGetURL = MakeFourCharCode("GURL");
constexpr FourCharCode kDirectObject = MakeFourCharCode("----");
// The local monitors that must be in place before input flows.
constexpr uint64_t kListenerLocalMask =
    kEventMaskKeyDown | kEventMaskOtherMouseDown | kEventMaskGesture | kEventMaskPressure;

const char* TypeName(NSEventType type) {
  switch (type) {
    case NSEventType::kKeyDown:
      return "keyDown";
    case NSEventType::kOtherMouseDown:
      return "otherMouseDown";
    case NSEventType::kGesture:
      return "gesture";
    case NSEventType::kPressure:
      return "pressure";
  }
  return "unknown";
}

std::optional<NSEventType> TypeFromName(const std::string& name) {
  for (NSEventType type : {NSEventType::kKeyDown, NSEventType::kOtherMouseDown,
                           NSEventType::kGesture, NSEventType::kPressure}) {
    if (name == TypeName(type)) return type;
  }
  return std::nullopt;
}

// Returns the event described by `entry`, or nullopt after one Warn line.
std::optional<QueuedInputEvent> ParseInputEvent(const nlohmann::json& entry,
                                                const std::string& where) {
  auto skip = [&where](const std::string& why) {
    Warn(where + " " + why + "; skipped");
    return std::nullopt;
  };
  if (!entry.is_object()) return skip("is not an object");
  QueuedInputEvent queued;
  auto type = entry.find("type");
  if (type == entry.end() || !type->is_string()) return skip("has no \"type\" text");
  std::optional<NSEventType> parsed = TypeFromName(type->get<std::string>());
  if (!parsed) return skip("has the unknown type \"" + type->get<std::string>() + "\"");
  queued.event.type = *parsed;
  auto key = entry.find("keyCode");
  if (key == entry.end() || key->is_null()) {
    if (queued.event.type == NSEventType::kKeyDown) return skip("is a keyDown without \"keyCode\"");
  } else if (!key->is_number_integer() || key->get<int64_t>() < 0 ||
             key->get<int64_t>() > std::numeric_limits<uint16_t>::max()) {
    return skip("has a \"keyCode\" that is not an integer from 0 to 65535");
  } else {
    queued.event.keyCode = key->get<uint16_t>();
  }
  auto flags = entry.find("modifierFlags");
  if (flags != entry.end() && !flags->is_null()) {
    if (!flags->is_number_unsigned()) {
      return skip("has \"modifierFlags\" that are not a non-negative integer");
    }
    queued.event.modifierFlags = flags->get<uint64_t>();
  }
  auto global = entry.find("global");
  if (global != entry.end() && !global->is_null()) {
    if (!global->is_boolean()) return skip("has a \"global\" that is not true or false");
    queued.global = global->get<bool>();
  }
  return queued;
}

std::optional<FourCharCode> ParseCode(const nlohmann::json& entry, const char* key) {
  auto value = entry.find(key);
  if (value == entry.end() || !value->is_string()) return std::nullopt;
  const auto& text = value->get_ref<const std::string&>();
  if (text.size() != 4) return std::nullopt;
  FourCharCode code = 0;
  for (char c : text) {
    if (static_cast<unsigned char>(c) > 0x7F) return std::nullopt;
    code = (code << 8) | static_cast<unsigned char>(c);
  }
  return code;
}

std::optional<QueuedAppleEvent> ParseAppleEvent(const nlohmann::json& entry,
                                                const std::string& where) {
  auto skip = [&where](const std::string& why) {
    Warn(where + " " + why + "; skipped");
    return std::nullopt;
  };
  if (!entry.is_object()) return skip("is not an object");
  QueuedAppleEvent queued;
  std::optional<FourCharCode> event_class = ParseCode(entry, "eventClass");
  if (!event_class) return skip("has no \"eventClass\" of four ASCII characters");
  std::optional<FourCharCode> event_id = ParseCode(entry, "eventID");
  if (!event_id) return skip("has no \"eventID\" of four ASCII characters");
  auto url = entry.find("url");
  if (url == entry.end() || url->is_null()) return skip("has no direct parameter (\"url\")");
  if (!url->is_string()) return skip("has a \"url\" that is not a string");
  queued.eventClass = *event_class;
  queued.eventID = *event_id;
  queued.url = url->get<std::string>();
  return queued;
}

template <typename Parse>
auto ReadQueue(const Scenario& scenario, const char* key, Parse parse) {
  std::deque<typename decltype(parse(nlohmann::json(), std::string()))::value_type> queue;
  const nlohmann::json* list = scenario.Find(key);
  if (list == nullptr) return queue;
  if (!list->is_array()) {
    Warn(std::string("scenario key \"") + key + "\" is not an array; nothing is queued");
    return queue;
  }
  for (size_t i = 0; i < list->size(); ++i) {
    if (auto parsed = parse((*list)[i], std::string(key) + "[" + std::to_string(i) + "]")) {
      queue.push_back(std::move(*parsed));
    }
  }
  return queue;
}

// Runs `body`, turning an exception into one Warn line.
template <typename Body>
void Contained(const char* what, Body&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    Warn(std::string(what) + " threw: " + e.what());
  } catch (...) {
    Warn(std::string(what) + " threw an unknown exception");
  }
}

}  // namespace

SimMainThread::SimMainThread(Desktop& desktop)
    : desktop_(desktop),
      input_(ReadQueue(desktop.scenario(), "inputEvents", ParseInputEvent)),
      apple_(ReadQueue(desktop.scenario(), "appleEvents", ParseAppleEvent)) {}

SimMainThread::~SimMainThread() {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    thread = std::move(thread_);
  }
  if (thread.joinable()) thread.join();
}

std::optional<EventMonitor> SimMainThread::addLocalMonitorForEventsMatchingMask(
    uint64_t mask, LocalEventHandler handler) {
  std::optional<EventMonitor> token = AddMonitor(mask, false, std::move(handler), nullptr);
  Wake();
  return token;
}

std::optional<EventMonitor> SimMainThread::addGlobalMonitorForEventsMatchingMask(
    uint64_t mask, GlobalEventHandler handler) {
  std::optional<EventMonitor> token = AddMonitor(mask, true, nullptr, std::move(handler));
  Wake();
  return token;
}

std::optional<EventMonitor> SimMainThread::AddMonitor(uint64_t mask, bool global,
                                                      LocalEventHandler local,
                                                      GlobalEventHandler observer) {
  const char* call = global ? "addGlobalMonitorForEventsMatchingMask:handler:"
                            : "addLocalMonitorForEventsMatchingMask:handler:";
  if ((global && !observer) || (!global && !local)) {
    desktop_.journal().Record("NSEvent", call, {{"mask", mask}}, {{"monitor", nullptr}});
    return std::nullopt;
  }
  // Recorded under the lock so that the journal shows the monitor before any
  // delivery to it.
  std::lock_guard<std::mutex> lock(mutex_);
  Monitor monitor{EventMonitor{next_monitor_id_++}, mask, global, std::move(local),
                  std::move(observer)};
  desktop_.journal().Record("NSEvent", call, {{"mask", mask}}, {{"monitor", monitor.token.id}});
  monitors_.push_back(std::move(monitor));
  return monitors_.back().token;
}

void SimMainThread::removeMonitor(EventMonitor monitor) {
  Monitor removed;  // Its handler (and what it keeps alive) goes outside the lock.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = monitors_.begin(); it != monitors_.end(); ++it) {
      if (it->token == monitor) {
        removed = std::move(*it);
        monitors_.erase(it);
        break;
      }
    }
  }
  desktop_.journal().Record("NSEvent", "removeMonitor:", {{"monitor", monitor.id}});
}

void SimMainThread::setEventHandler(AppleEventHandler handler, FourCharCode eventClass,
                                    FourCharCode eventID) {
  AppleEventHandler replaced;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto entry = std::find_if(handlers_.begin(), handlers_.end(), [&](const HandlerEntry& e) {
      return e.eventClass == eventClass && e.eventID == eventID;
    });
    if (entry != handlers_.end()) {
      replaced = std::exchange(entry->handler, std::move(handler));
    } else {
      handlers_.push_back({eventClass, eventID, std::move(handler)});
    }
  }
  desktop_.journal().Record(
      "NSAppleEventManager", "setEventHandler:andSelector:forEventClass:andEventID:",
      {{"eventClass", FourCharCodeText(eventClass)}, {"eventID", FourCharCodeText(eventID)}});
  Wake();
}

int SimMainThread::Run(int /*argc*/, char** /*argv*/) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    input_open_ = true;
    apple_open_ = true;
  }
  Wake();
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return stopping_ || (!running_ && !HasDeliverableLocked()); });
  return 0;
}

bool SimMainThread::WaitUntilIdle(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return idle_.wait_for(lock, timeout, [this] { return !running_ && !HasDeliverableLocked(); });
}

size_t SimMainThread::monitor_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return monitors_.size();
}

bool SimMainThread::HasDeliverableLocked() const {
  return (input_open_ && !input_.empty()) || (apple_open_ && !apple_.empty());
}

void SimMainThread::Wake() {
  std::thread finished;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!input_open_) {
      uint64_t local_mask = 0;
      for (const auto& monitor : monitors_) {
        if (!monitor.global) local_mask |= monitor.mask;
      }
      input_open_ = (local_mask & kListenerLocalMask) == kListenerLocalMask;
    }
    if (!apple_open_) {
      for (const auto& entry : handlers_) {
        if (entry.eventClass == kGetURL && entry.eventID == kGetURL) apple_open_ = true;
      }
    }
    // While the thread runs it picks up whatever became deliverable; this is
    // also the path of a handler that installs monitors on the thread itself.
    if (running_ || stopping_ || !HasDeliverableLocked()) return;
    finished = std::move(thread_);  // A thread that has left Loop, if any.
    running_ = true;
    try {
      thread_ = std::thread(&SimMainThread::Loop, this);
    } catch (const std::system_error& e) {
      running_ = false;
      Warn(std::string("cannot start the main thread: ") + e.what());
    }
  }
  if (finished.joinable()) finished.join();
}

void SimMainThread::Loop() {
  while (true) {
    std::optional<QueuedInputEvent> input;
    std::optional<QueuedAppleEvent> apple;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_ || !HasDeliverableLocked()) {
        running_ = false;
        idle_.notify_all();
        return;
      }
      // Apple events and input events are independent queues; take whichever
      // is open, input first.
      if (input_open_ && !input_.empty()) {
        input = input_.front();
        input_.pop_front();
      } else {
        apple = std::move(apple_.front());
        apple_.pop_front();
      }
    }
    // Handlers are contained one by one inside Deliver; this catches what the
    // delivery itself may throw (out of memory), so the thread never dies.
    Contained("delivering an event", [&] {
      if (input) Deliver(*input);
      if (apple) Deliver(*apple);
    });
  }
}

void SimMainThread::Deliver(const QueuedInputEvent& queued) {
  const uint64_t bit = EventMaskFromType(queued.event.type);
  std::vector<Monitor> matching;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& monitor : monitors_) {
      if (monitor.global == queued.global && (monitor.mask & bit) != 0) matching.push_back(monitor);
    }
  }
  bool swallowed = false;
  int seen = 0;
  std::optional<Event> event = queued.event;
  for (const auto& monitor : matching) {
    ++seen;
    if (monitor.global) {
      Contained("a global event monitor", [&] { monitor.observer(queued.event); });
      continue;
    }
    Contained("a local event monitor", [&] { event = monitor.local(*event); });
    if (!event) {
      swallowed = true;
      break;
    }
  }
  nlohmann::json args = {{"type", TypeName(queued.event.type)},
                         {"keyCode", queued.event.keyCode},
                         {"modifierFlags", queued.event.modifierFlags},
                         {"global", queued.global}};
  desktop_.journal().Record("NSEvent", "deliver", args,
                            {{"result", swallowed ? "swallowed" : "passed"}, {"monitors", seen}});
}

void SimMainThread::Deliver(const QueuedAppleEvent& queued) {
  AppleEventHandler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : handlers_) {
      if (entry.eventClass == queued.eventClass && entry.eventID == queued.eventID) {
        handler = entry.handler;
      }
    }
  }
  if (handler) {
    NSAppleEventDescriptor event =
        NSAppleEventDescriptor::appleEventWithEventClass(queued.eventClass, queued.eventID);
    event.setParamDescriptor(NSAppleEventDescriptor::descriptorWithString(queued.url),
                             kDirectObject);
    NSAppleEventDescriptor reply;
    Contained("an Apple event handler", [&] { handler(event, reply); });
  }
  desktop_.journal().Record("NSAppleEventManager", "deliver",
                            {{"eventClass", FourCharCodeText(queued.eventClass)},
                             {"eventID", FourCharCodeText(queued.eventID)},
                             {"url", queued.url}},
                            {{"result", handler ? "handled" : "unhandled"}});
}

}  // namespace sim
}  // namespace osxnatives::platform
