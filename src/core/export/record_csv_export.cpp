// The telemetry and sensor CSV exports.
#include "export/record_csv_export.hpp"

#include "common/number_format.hpp"
#include "store/record_store.hpp"

namespace quorbel {

std::string BuildRecordCsv(const std::array<std::string, kFieldCount>& captions,
                           const RecordStore& store, FieldRange fields, char decimalMark) {
    std::string out = "time;";
    for (int field = fields.first; field <= fields.last; ++field) {
        out += captions[static_cast<std::size_t>(field)];
        out += ';';
    }
    out += "\r\n";
    for (int n = 1; n <= store.Count(); ++n) {
        const TelemetryRecord& record = store.Record(n);
        out += record.rxTime;
        out += ';';
        for (int field = fields.first; field <= fields.last; ++field) {
            out += FormatGeneralNumber(record.values[static_cast<std::size_t>(field)], decimalMark);
            out += ';';
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace quorbel
