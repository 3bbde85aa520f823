// The emulated queue that the X11 adapter gives the message loop: what each peek gives, after
// which events, posts and marks, in the order a Windows queue gives them.
#include "renderer/shell/message_queue.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace pellarin {
namespace {

constexpr std::uint32_t kNothing = 0xFFFFFFFF;  // a peek that found nothing
constexpr std::uint32_t kPostsQuit = 0x40000000;

class QueueScript {
 public:
  // Runs `script` and returns the message numbers the peeks gave (kNothing for none). Steps:
  //   "e<n>"  the window system has event n waiting      "q<n>"  postQuit(n)
  //   "d<n>"  an event whose reading posts quit n (the window destroyed by another program)
  //   "i" / "v"  invalidate / validate                  "p" / "t"  peek / take (peek and remove)
  std::vector<std::uint32_t> run(const std::vector<std::string>& script) {
    std::vector<std::uint32_t> seen;
    for (const std::string& step : script) {
      const auto number = [&] { return static_cast<std::uint32_t>(std::stoul(step.substr(1))); };
      switch (step[0]) {
        case 'e':
          events_.push_back(number());
          break;
        case 'd':
          events_.push_back(kPostsQuit | number());
          break;
        case 'q':
          queue_.postQuit(static_cast<int>(number()));
          break;
        case 'i':
          queue_.invalidate();
          break;
        case 'v':
          queue_.validate();
          break;
        default: {
          WindowMessage message{kNothing, 77, 0};
          const bool found = queue_.peek(message, step == "t", [&](WindowMessage& event) {
            while (!events_.empty()) {
              const std::uint32_t next = events_.front();
              events_.pop_front();
              if ((next & kPostsQuit) == 0) {
                event = WindowMessage{next, 0, 0};
                return true;
              }
              queue_.postQuit(static_cast<int>(next & ~kPostsQuit));
            }
            return false;
          });
          EXPECT_EQ(found, message.message != kNothing) << "found, yet the record is untouched";
          const bool quit = message.message == kWmQuit;
          seen.push_back(quit ? kWmQuit + 0x100 * static_cast<std::uint32_t>(message.wParam)
                              : message.message);
          if (!found) {
            EXPECT_EQ(message.wParam, 77u) << "a peek that finds nothing changes nothing";
          }
        }
      }
    }
    return seen;
  }

 private:
  EmulatedMessageQueue queue_;
  std::deque<std::uint32_t> events_;
};

using Seen = std::vector<std::uint32_t>;
constexpr std::uint32_t kQuit0 = kWmQuit;
constexpr std::uint32_t kQuit3 = kWmQuit + 0x300;

TEST(EmulatedMessageQueue, GivesMessagesInTheOrderAWindowsQueueWould) {
  const struct {
    const char* what;
    std::vector<std::string> script;
    Seen seen;
  } cases[] = {
      {"empty", {"p", "t"}, {kNothing, kNothing}},
      {"events in order", {"e256", "e257", "t", "t", "t"}, {kWmKeyDown, kWmKeyUp, kNothing}},
      {"a peek keeps the head",
       {"e256", "p", "e257", "p", "t", "t"},
       {kWmKeyDown, kWmKeyDown, kWmKeyDown, kWmKeyUp}},
      {"paint while invalid, after the events",
       {"i", "e256", "t", "t", "t", "v", "t"},
       {kWmKeyDown, kWmPaint, kWmPaint, kNothing}},
      {"the quit message before pending input, once",
       {"e256", "q3", "t", "t", "t"},
       {kQuit3, kWmKeyDown, kNothing}},
      {"the quit message before a paint", {"i", "q0", "t", "t"}, {kQuit0, kWmPaint}},
      // A message peeked before the quit was posted stays the head until it is taken.
      {"a held message before a later quit",
       {"e256", "p", "q0", "t", "t"},
       {kWmKeyDown, kWmKeyDown, kQuit0}},
      {"a held paint after validation", {"i", "p", "v", "t", "t"}, {kWmPaint, kWmPaint, kNothing}},
      // Nothing else would wake the loop before its next frame, which may be far off.
      {"a quit posted while the events are read", {"d3", "t", "t"}, {kQuit3, kNothing}},
  };
  for (const auto& c : cases) {
    QueueScript queue;
    EXPECT_EQ(queue.run(c.script), c.seen) << c.what;
  }
}

}  // namespace
}  // namespace pellarin
