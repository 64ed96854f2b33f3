// Touch streams and scripted target touches, run on the controller's worker
// thread. Each report is made by the model when it is sent, so a stream that
// runs into CAL_BEGIN turns from digitizer reports into CAL_RAW_POINT frames.
#include <algorithm>

#include "sim/simulated_controller.h"

namespace orvelle {

struct SimulatedController::Stream {
  uint64_t generation = 0;
  TouchStream request;
  int sent = 0;
  TimedWorker::Clock::time_point start;
  std::function<void()> then;  // a target run's next step; none: the task ends
};

struct SimulatedController::TargetPlan {
  uint64_t generation = 0;
  TargetRun request;
  TimedWorker::Clock::time_point waitDeadline;
  std::vector<RawPoint> points;  // filled once calibration has begun
  size_t next = 0;
};

void SimulatedController::Touch(const TouchStream& request) {
  auto stream = std::make_shared<Stream>();
  {
    std::lock_guard lock(touchMutex_);
    stream->generation = touchGeneration_;
    ++activeTouchTasks_;
  }
  stream->request = request;
  stream->start = TimedWorker::Clock::now();
  worker_.Schedule(stream->start, [this, stream] { RunStream(stream); });
}

void SimulatedController::TouchTargets(const TargetRun& run) {
  auto plan = std::make_shared<TargetPlan>();
  {
    std::lock_guard lock(touchMutex_);
    plan->generation = touchGeneration_;
    ++activeTouchTasks_;
  }
  plan->request = run;
  plan->waitDeadline = TimedWorker::Clock::now() + run.waitLimit;
  worker_.Schedule(TimedWorker::Clock::now(), [this, plan] { RunTargets(plan); });
}

void SimulatedController::StopTouches() {
  std::lock_guard lock(touchMutex_);
  ++touchGeneration_;
}

bool SimulatedController::WaitTouchesDone(std::chrono::milliseconds limit) const {
  std::unique_lock lock(touchMutex_);
  return touchesChanged_.wait_for(lock, limit, [this] { return activeTouchTasks_ == 0; });
}

bool SimulatedController::Cancelled(uint64_t generation) const {
  std::lock_guard lock(touchMutex_);
  return generation != touchGeneration_;
}

void SimulatedController::TouchTaskEnded() {
  {
    std::lock_guard lock(touchMutex_);
    --activeTouchTasks_;
  }
  touchesChanged_.notify_all();
}

RawPoint SimulatedController::Jittered(RawPoint at, int jitter) {
  if (jitter <= 0) return at;
  std::uniform_int_distribution<int> offset(-jitter, jitter);
  const auto move = [&](uint16_t v) {
    return static_cast<uint16_t>(std::clamp(v + offset(jitterRandom_), 0, 4095));
  };
  const uint16_t x = move(at.x);
  return {x, move(at.y)};
}

void SimulatedController::RunStream(std::shared_ptr<Stream> stream) {
  if (Cancelled(stream->generation)) {
    stream->then = nullptr;  // a stopped target run ends with its stream
    if (stream->sent == 0) return TouchTaskEnded();
    stream->sent = stream->request.count;  // a finger that touched is lifted
  }
  const bool lift = stream->sent >= stream->request.count;
  const RawPoint at =
      lift ? stream->request.at : Jittered(stream->request.at, stream->request.jitter);
  std::vector<uint8_t> report;
  {
    std::lock_guard lock(modelMutex_);
    report = model_.TouchReport(at, !lift);
  }
  Send(report);
  if (lift) {
    if (stream->then) {
      stream->then();
    } else {
      TouchTaskEnded();
    }
    return;
  }
  ++stream->sent;
  auto due = TimedWorker::Clock::now();
  if (stream->request.rate > 0) {
    const auto interval = std::chrono::duration<double>(1.0 / stream->request.rate);
    due = stream->start +
          std::chrono::duration_cast<TimedWorker::Clock::duration>(interval * stream->sent);
  }
  worker_.Schedule(due, [this, stream] { RunStream(stream); });
}

void SimulatedController::StartTargets(std::shared_ptr<TargetPlan> plan) {
  const uint8_t mode = [this] {
    std::lock_guard lock(modelMutex_);
    return model_.RunMode();
  }();
  const std::vector<int> order = CaptureOrder(mode);
  for (size_t t = 0; t < order.size(); ++t) {
    plan->points.push_back(t < plan->request.positions.size() ? plan->request.positions[t]
                                                              : NominalTarget(order[t]));
  }
  events_.Record(SimEvent::Kind::Note, {},
                 "targets: calibration mode " + std::to_string(mode) + ", touching " +
                     std::to_string(order.size()) + " targets");
  worker_.Schedule(TimedWorker::Clock::now() + plan->request.startDelay,
                   [this, plan] { RunTargets(plan); });
}

void SimulatedController::RunTargets(std::shared_ptr<TargetPlan> plan) {
  if (Cancelled(plan->generation)) return TouchTaskEnded();
  const auto now = TimedWorker::Clock::now();
  const bool calibrating = Calibrating();
  if (plan->points.empty()) {
    if (calibrating) return StartTargets(plan);
    if (now >= plan->waitDeadline) {
      events_.Record(SimEvent::Kind::Note, {}, "targets: no calibration began");
      return TouchTaskEnded();
    }
    worker_.Schedule(now + std::chrono::milliseconds(10), [this, plan] { RunTargets(plan); });
    return;
  }
  if (plan->next >= plan->points.size() || !calibrating) {
    events_.Record(SimEvent::Kind::Note, {},
                   calibrating ? "targets: done" : "targets: calibration ended");
    return TouchTaskEnded();
  }
  auto stream = std::make_shared<Stream>();
  stream->generation = plan->generation;
  stream->request = TouchStream{plan->points[plan->next], plan->request.reportsPerTarget,
                                plan->request.rate, plan->request.jitter};
  stream->start = now;
  stream->then = [this, plan] {
    ++plan->next;
    worker_.Schedule(TimedWorker::Clock::now() + plan->request.gap,
                     [this, plan] { RunTargets(plan); });
  };
  RunStream(stream);
}

}  // namespace orvelle
