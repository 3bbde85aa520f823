#include "common/debug_log.h"
#include "host/core/win32_adapters.h"

namespace pellarin {

namespace {
constexpr const wchar_t* kClassName = L"PellarinTimers";
}  // namespace

class TimerServiceWin32::WindowTimer final : public Timer {
 public:
  WindowTimer(TimerServiceWin32& service, UINT_PTR id, std::chrono::milliseconds interval,
              std::function<void()> tick)
      : service_(service), id_(id), interval_(interval), tick_(std::move(tick)) {
    service_.timers_[id_] = this;
  }
  ~WindowTimer() override {
    setEnabled(false);
    service_.timers_.erase(id_);
  }

  void setEnabled(bool enabled) override {
    if (enabled) {
      // Setting it again starts the interval afresh, as enabling promises.
      if (::SetTimer(service_.window_, id_, static_cast<UINT>(interval_.count()), nullptr) == 0) {
        debugLog("host: SetTimer failed: %lu\n", ::GetLastError());
        return;
      }
    } else if (enabled_) {
      ::KillTimer(service_.window_, id_);
    }
    enabled_ = enabled;
  }

  bool enabled() const override { return enabled_; }

  void tick() {
    // A WM_TIMER already queued when the timer was switched off does not count.
    if (enabled_) tick_();
  }

 private:
  TimerServiceWin32& service_;
  UINT_PTR id_;
  std::chrono::milliseconds interval_;
  std::function<void()> tick_;
  bool enabled_ = false;
};

TimerServiceWin32::TimerServiceWin32() {
  if (registerWindowClass(kClassName, &TimerServiceWin32::procedure, nullptr) == 0) return;
  window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              ::GetModuleHandleW(nullptr), this);
  if (window_ == nullptr) debugLog("host: cannot create the timer window: %lu\n", ::GetLastError());
}

TimerServiceWin32::~TimerServiceWin32() {
  if (window_ == nullptr) return;
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  ::DestroyWindow(window_);
}

std::unique_ptr<Timer> TimerServiceWin32::createTimer(std::chrono::milliseconds interval,
                                                      std::function<void()> tick) {
  return std::make_unique<WindowTimer>(*this, nextId_++, interval, std::move(tick));
}

LRESULT CALLBACK TimerServiceWin32::procedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  auto* self = windowOwner<TimerServiceWin32>(window, message, lParam);
  if (message != WM_TIMER) return ::DefWindowProcW(window, message, wParam, lParam);
  if (self == nullptr) return 0;
  // Looked up at each tick: the timer may have gone meanwhile.
  const auto found = self->timers_.find(static_cast<UINT_PTR>(wParam));
  if (found != self->timers_.end()) found->second->tick();
  return 0;
}

}  // namespace pellarin
