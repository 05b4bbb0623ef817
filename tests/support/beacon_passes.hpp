// Beacons of many passes written straight into an archive, for the History page's tests and
// benchmark: pass p starts 90 minutes after pass p-1, its beacons 5 seconds apart, each with a
// battery voltage (field 1) of its own; even passes come down at DL0ABC, odd ones at OE1XYZ.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/archive.hpp"
#include "sample_frames.hpp"

namespace quorbel::testing {

struct BeaconPasses {
    static constexpr std::int64_t kStartMs = 1'767'225'600'000;  // 2026-01-01 00:00:00 UTC
    static constexpr std::int64_t kPassEveryMs = 90 * 60 * 1000;
    static constexpr std::int64_t kBeaconEveryMs = 5000;

    int passes = 12;
    int beaconsPerPass = 20;

    static double Voltage(int pass, int beacon) { return 7000 + 20 * (pass % 50) + beacon % 20; }
    static std::int64_t Time(int pass, int beacon) {
        return kStartMs + pass * kPassEveryMs + beacon * kBeaconEveryMs;
    }
    std::int64_t Records() const { return std::int64_t{passes} * beaconsPerPass; }
    TimeRange Everything() const { return {kStartMs, Time(passes - 1, beaconsPerPass - 1) + 1}; }

    // Writes every beacon, in batches of a few thousand.
    void WriteTo(Archive& archive) const {
        std::vector<Reception> batch;
        std::uint16_t sequence = 0;
        for (int pass = 0; pass < passes; ++pass) {
            for (int beacon = 0; beacon < beaconsPerPass; ++beacon) {
                samples::FieldValues values{};
                values[1] = Voltage(pass, beacon);
                values[29] = static_cast<double>(pass) * beaconsPerPass + beacon;  // unique bytes
                const std::int64_t ms = Time(pass, beacon);
                batch.push_back({samples::MakeBeacon(22, values, sequence++), ms,
                                 samples::UtcStampText(ms), pass % 2 ? "OE1XYZ" : "DL0ABC",
                                 ReceptionSource::CaptureFile, "passes.kss", std::nullopt,
                                 std::nullopt});
                if (batch.size() == 5000) {
                    archive.Write(batch);
                    batch.clear();
                }
            }
        }
        archive.Write(batch);
    }
};

}  // namespace quorbel::testing
