// The telemetry and sensor CSV exports.
#include "export/record_csv_export.hpp"

#include "common/number_format.hpp"
#include "store/record_store.hpp"

namespace quorbel {

void WriteRecordCsv(const std::array<std::string, kFieldCount>& captions, const RecordStore& store,
                    FieldRange fields, char decimalMark,
                    const std::function<void(std::string_view)>& write) {
    std::string line = "time;";
    for (int field = fields.first; field <= fields.last; ++field) {
        line += captions[static_cast<std::size_t>(field)];
        line += ';';
    }
    line += "\r\n";
    write(line);
    for (int n = 1; n <= store.Count(); ++n) {
        line = store.RxTime(n);
        line += ';';
        for (int field = fields.first; field <= fields.last; ++field) {
            AppendGeneralNumber(line, store.Value(n, field), decimalMark);
            line += ';';
        }
        line += "\r\n";
        write(line);
    }
}

std::string BuildRecordCsv(const std::array<std::string, kFieldCount>& captions,
                           const RecordStore& store, FieldRange fields, char decimalMark) {
    std::string out;
    WriteRecordCsv(captions, store, fields, decimalMark,
                   [&out](std::string_view line) { out += line; });
    return out;
}

}  // namespace quorbel
