#include "audio/analysis_exchange.h"

namespace demo {

void AnalysisExchange::publish() {
    // acq_rel: the slot's bytes are released to the reader, and the slot handed back is
    // acquired before the writer reuses it.
    const uint32_t previous = middle_.exchange(writer_ | kFresh, std::memory_order_acq_rel);
    writer_ = previous & 3;
}

const AnalysisSnapshot& AnalysisExchange::acquire() {
    if (middle_.load(std::memory_order_relaxed) & kFresh) {
        const uint32_t previous = middle_.exchange(reader_, std::memory_order_acq_rel);
        reader_ = previous & 3;
    }
    return slots_[reader_];
}

}  // namespace demo
