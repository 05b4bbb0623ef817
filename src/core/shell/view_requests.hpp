// What the record view and the chart are asked to show by the handlers of one event, and how often
// the refresh step has built them. The refresh step builds each once when the event ends.
#pragma once

#include <cstdint>
#include <optional>

#include "shell/window_model.hpp"

namespace quorbel {

// A chart asked for: one field, or the group of three the field belongs to.
struct ChartRequest {
    int field = 0;
    bool group = false;
};

// The requests of the running event; a later request of the same kind replaces an earlier one.
struct ViewRequests {
    std::optional<int> record;         // the record the value boxes show (1 to 5000)
    std::optional<ScrollBar> counter;  // the record counter, from the scroll bar as it stood
    bool fieldLook = false;            // the chart title and highlighted box of selectedField
    std::optional<ChartRequest> chart;
    // A single-field chart was asked for in this event: a group chart drawn after it takes the
    // kind (bars or line) and pen that chart would have set.
    bool kindFromBars = false;
    bool timeAxis = false;  // the chart's axis follows chartTimeAxis
};

// How often the refresh step built what is shown: counted so that tests and benchmarks can see
// an event build each at most once.
struct ViewBuilds {
    std::uint64_t recordViews = 0;   // record views built from the stores
    std::uint64_t charts = 0;        // charts drawn from every record of a store
    std::uint64_t chartUpdates = 0;  // charts that only took the points of new records
};

struct ViewState {
    ViewRequests requests;
    ViewBuilds builds;
    int eventDepth = 0;  // handlers running inside one another; the outermost refreshes
};

}  // namespace quorbel
