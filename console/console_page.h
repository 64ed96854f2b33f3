#pragma once
// One page of the console's tab control. Pages that talk to the controller
// refresh when their tab is selected and take the answer frames the main
// window routes to them, on the window thread.

#include <QWidget>
#include <cstdint>
#include <span>

namespace orvelle::console {

class ConsolePage : public QWidget {
 public:
  using QWidget::QWidget;

  // The tab was selected.
  virtual void Refresh() {}
  // One answer frame routed to this page (at most 64 bytes).
  virtual void HandleFrame(std::span<const uint8_t>) {}
  // A controller arrived while the page is on show.
  virtual void ControllerArrived() {}
  // The controller was removed: nothing read of it may be written to the
  // next one.
  virtual void ControllerGone() {}
};

}  // namespace orvelle::console
