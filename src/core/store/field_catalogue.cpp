// Appending and clearing records, and the field catalogue written into the window.
#include "store/field_catalogue.hpp"

#include "shell/app_state.hpp"

namespace quorbel {

std::optional<int> AppendRecord(AppState& app, RecordStore& store) {
    const std::optional<int> n = store.Take();
    if (!n)
        return std::nullopt;  // a full store refuses the frame silently
    app.ui.HScroll1.SetMax(*n);
    store.Record(*n).rxTime = app.frame.rxTimeText;
    return n;
}

void ClearStores(AppState& app) {
    app.telemetry.Clear();
    app.sensor.Clear();
}

void ApplyFieldCatalogue(AppState& app) {
    for (const FieldDef& field : kFields) {
        const auto i = static_cast<std::size_t>(field.index);
        if (!field.caption.empty())
            app.ui.Option1[i] = std::string(field.caption);
        if (!field.unit.empty())
            app.ui.Label1[i] = std::string(field.unit);
    }
    app.ui.ProgressBar1.visible = false;
}

}  // namespace quorbel
