#include "host/core/gtk_adapters.h"

namespace pellarin {

namespace {

class GlibTimer final : public Timer {
 public:
  GlibTimer(std::chrono::milliseconds interval, std::function<void()> tick)
      : interval_(interval), tick_(std::move(tick)) {}
  ~GlibTimer() override { setEnabled(false); }

  void setEnabled(bool enabled) override {
    if (enabled == (source_ != 0)) return;
    if (enabled) {
      source_ = g_timeout_add(static_cast<guint>(interval_.count()), &GlibTimer::onTick, this);
    } else {
      g_source_remove(source_);
      source_ = 0;
    }
  }

  bool enabled() const override { return source_ != 0; }

 private:
  static gboolean onTick(gpointer self) {
    auto* timer = static_cast<GlibTimer*>(self);
    const guint running = timer->source_;
    timer->tick_();
    // A tick that switched the timer off has removed this source already; one that switched
    // it off and on again runs on in a new source.
    return timer->source_ == running ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }

  std::chrono::milliseconds interval_;
  std::function<void()> tick_;
  guint source_ = 0;
};

}  // namespace

std::unique_ptr<Timer> TimerServiceGtk::createTimer(std::chrono::milliseconds interval,
                                                    std::function<void()> tick) {
  return std::make_unique<GlibTimer>(interval, std::move(tick));
}

}  // namespace pellarin
