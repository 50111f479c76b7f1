#include "filters/ControlGate.h"

namespace vistrel::filters {

ControlGate::Decision ControlGate::Pass() {
  Decision decision;
  // One exchange both consumes the opening and closes the gate, so an opening made while this
  // frame is handled is never lost nor counted twice.
  if (!passOne_.exchange(false)) return decision;
  decision.pass = true;
  if (renumber_.load()) {
    const int64_t step = step_.load();
    decision.mediaStart = next_;
    decision.mediaStop = next_ + step;
    next_ += step;
  }
  decision.syncPoint = markSync_.load();
  decision.discontinuity = markDiscontinuity_.load();
  return decision;
}

}  // namespace vistrel::filters
