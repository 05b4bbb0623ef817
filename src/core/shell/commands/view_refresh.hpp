// The refresh step: the value boxes, labels, record counter, chart title and chart derived once
// at the end of an event from what its handlers asked for.
#pragma once

#include <exception>

namespace quorbel {

struct AppState;

// Builds what the requests of the event ask for, each once, and clears them.
void RefreshView(AppState& app);

// Marks a handler as running. When the outermost one ends, the view is refreshed; a handler that
// runs inside another (a field selection at the end of a read, a live frame while a file is read)
// only adds its requests. A handler left by an exception refreshes nothing: its requests wait for
// the next event.
class ViewEvent {
  public:
    explicit ViewEvent(AppState& app);
    ~ViewEvent() noexcept(false);
    ViewEvent(const ViewEvent&) = delete;
    ViewEvent& operator=(const ViewEvent&) = delete;

  private:
    AppState& m_app;
    int m_exceptions;
};

}  // namespace quorbel
