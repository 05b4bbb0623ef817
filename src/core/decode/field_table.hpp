// The one table of the 107 telemetry fields: caption, unit, frame position, reader and how the
// detail view shows each value. Catalogue, decoders, detail view, chart groups and exports read it.
#pragma once

#include <array>
#include <string_view>

namespace quorbel {

inline constexpr int kFieldCount = 107;

// How a field's value is taken out of the frame.
enum class FieldReader {
    None,  // fields 67 to 69: nobody fills them
    U8,
    S8,
    U16BE,
    S16BE,
    U32BE,
    S32BE,
    F32BE,
    HexMicroseconds,  // field 70: 60-bit microsecond count read from the frame's hexadecimal text
    Zero,             // field 106: always 0
};

// How the detail view writes a field's value into its box.
enum class FieldDisplay { Number, Hex, DeploymentState, EpochTime, ThreeDecimals };

// Which record store a field lives in.
enum class FieldStore { Telemetry, Sensor, None };

struct FieldDef {
    int index;
    std::string_view caption;  // empty for fields 67 to 69
    std::string_view unit;     // 8-bit text: "µ" is the single byte 0xB5
    int position;              // first frame position (counted from 1); 0 when not read from bytes
    FieldReader reader;
    FieldDisplay display;
};

// Byte width of a reader's value in the frame (0 for readers that take no bytes of their own).
constexpr int ReaderWidth(FieldReader reader) {
    switch (reader) {
        case FieldReader::U8:
        case FieldReader::S8:
            return 1;
        case FieldReader::U16BE:
        case FieldReader::S16BE:
            return 2;
        case FieldReader::U32BE:
        case FieldReader::S32BE:
        case FieldReader::F32BE:
            return 4;
        case FieldReader::HexMicroseconds:
            return 8;
        default:
            return 0;
    }
}

// A run of field numbers, first to last.
struct FieldRange {
    int first;
    int last;
    constexpr bool Contains(int index) const { return index >= first && index <= last; }
};

// The beacon's fields (identifier 300) and the sensor frame's (identifier 400). Fields 67 to 69
// belong to neither: nobody fills them.
inline constexpr FieldRange kBeaconFields{0, 66};
inline constexpr FieldRange kSensorFields{70, 106};
// The rows of the beacon page: the beacon fields and the three unused ones after them.
inline constexpr FieldRange kBeaconPageFields{0, kSensorFields.first - 1};

constexpr FieldStore StoreOfField(int index) {
    if (kBeaconFields.Contains(index))
        return FieldStore::Telemetry;
    if (kSensorFields.Contains(index))
        return FieldStore::Sensor;
    return FieldStore::None;
}

// The store a field is charted and navigated from: 0 to 69 the beacons, 70 to 106 the sensors.
constexpr bool IsSensorField(int index) {
    return index >= kSensorFields.first;
}

namespace field_rows {
using R = FieldReader;
using D = FieldDisplay;

inline constexpr std::array<FieldDef, kFieldCount> kRows{{
    {0, "Batt Current", "mA", 13, R::S16BE, D::Number},
    {1, "Batt Voltage", "mV", 15, R::U16BE, D::Number},
    {2, "Alt Voltage", "mV", 17, R::U16BE, D::Number},
    {3, "FG Die Temp", "C", 19, R::S8, D::Number},
    {4, "Batt Temp", "C", 20, R::S8, D::Number},
    {5, "Min Current", "mA", 21, R::S16BE, D::Number},
    {6, "Min Voltage", "mV", 23, R::U16BE, D::Number},
    {7, "Min Temp", "C", 25, R::S8, D::Number},
    {8, "Max Current", "mA", 26, R::S16BE, D::Number},
    {9, "Max Voltage", "mV", 28, R::U16BE, D::Number},
    {10, "Max Temp", "C", 30, R::S8, D::Number},
    {11, "Avg Current", "mA", 31, R::S16BE, D::Number},
    {12, "Avg Voltage", "mV", 33, R::U16BE, D::Number},
    {13, "Avg Temp", "C", 35, R::S8, D::Number},
    {14, "Time to empty", "min", 36, R::U16BE, D::Number},
    {15, "Rem Capacity", "mAh", 38, R::S16BE, D::Number},
    {16, "Full Batt Cap", "mAh", 40, R::S16BE, D::Number},
    {17, "State of Charge", "%", 42, R::S8, D::Number},
    {18, "MCU int Temp", "C", 43, R::S8, D::Number},
    {19, "RTC/VBAT Volt", "mV", 44, R::U16BE, D::Number},
    {20, "Ant Depl Volt", "mV", 46, R::S16BE, D::Number},
    {21, "Ant Depl Curr", "mA", 48, R::S16BE, D::Number},
    {22, "Ant Depl Result", "", 50, R::U8, D::Hex},
    {23, "Ant Depl avg Volt", "mV", 51, R::S16BE, D::Number},
    {24, "Ant Depl_avg Curr", "mA", 53, R::S16BE, D::Number},
    {25, "Ant Depl Time", "sec", 55, R::U8, D::Number},
    {26, "Ant Depl Status", "", 56, R::U8, D::DeploymentState},
    {27, "Ant_Depl retries", "", 57, R::U8, D::Number},
    {28, "Ant first Depl", "", 58, R::U8, D::Hex},
    {29, "Spacecraft Uptime", "sec", 59, R::U32BE, D::Number},
    {30, "Reason of Reset", "", 63, R::U8, D::Number},
    {31, "first SC Depl", "", 64, R::U8, D::Hex},
    {32, "Low Power Resets", "", 65, R::U16BE, D::Number},
    {33, "Watchdog Resets", "", 67, R::U16BE, D::Number},
    {34, "SW trig Resets", "", 69, R::U16BE, D::Number},
    {35, "Brownout Resets", "", 71, R::U16BE, D::Number},
    {36, "RX to TX delay", "ms", 73, R::U16BE, D::Number},
    {37, "Power Save Mode", "", 75, R::U8, D::Number},
    {38, "Power Mon Fail", "", 76, R::U8, D::Hex},
    {39, "CLCW VCID 0", "", 77, R::U32BE, D::Hex},
    {40, "CLCW VCID 1", "", 81, R::U32BE, D::Hex},
    {41, "Add Fct Flags", "", 85, R::U8, D::Hex},
    {42, "SSDV Last Error", "", 86, R::U16BE, D::Number},
    {43, "SSDV Last Frames", "", 88, R::U16BE, D::Number},
    {44, "SSDV Filenumber", "", 90, R::U16BE, D::Number},
    {45, "SD OP State", "", 92, R::U8, D::Number},
    {46, "SD Last Error", "", 93, R::U8, D::Number},
    {47, "Sensors Status", "", 94, R::U8, D::Number},
    {48, "Sensors Last Err", "", 95, R::U8, D::Number},
    {49, "XFER Last Cmd", "", 96, R::U8, D::Number},
    {50, "XFER Last Err", "", 97, R::U8, D::Number},
    {51, "XFER RXM Status", "", 98, R::U8, D::Number},
    {52, "XFER Last Err Stat", "", 99, R::U8, D::Number},
    {53, "XFER Last RXM Stat", "", 100, R::U8, D::Number},
    {54, "XFER Bytes stored", "Byte", 101, R::U32BE, D::Number},
    {55, "XFER RB remaining", "Byte", 105, R::U16BE, D::Number},
    {56, "XFER NAK Count", "", 107, R::U16BE, D::Number},
    {57, "Radio invalid RX", "", 109, R::U16BE, D::Number},
    {58, "Radio TX Frames", "", 111, R::U16BE, D::Number},
    {59, "Radio RX Frames", "", 113, R::U16BE, D::Number},
    {60, "Radio corr RX", "bit", 115, R::U32BE, D::Number},
    {61, "AX5043 RSSI", "", 119, R::U8, D::Number},
    {62, "AX5043 Freq", "", 120, R::S16BE, D::Number},
    {63, "AX5043 AGC", "", 122, R::S8, D::Number},
    {64, "AX5043 Datarate", "", 123, R::S32BE, D::Number},
    {65, "AX5043 Phase", "", 127, R::S16BE, D::Number},
    {66, "AX5043 RF Freq", "", 129, R::S32BE, D::Number},
    {67, "", "", 0, R::None, D::Number},
    {68, "", "", 0, R::None, D::Number},
    {69, "", "", 0, R::None, D::Number},
    {70, "BG51 Time", "", 13, R::HexMicroseconds, D::EpochTime},
    {71, "BG51 Timestamp", "\xB5s", 21, R::U32BE, D::Number},
    {72, "BG51 integ Time", "", 25, R::U32BE, D::Number},
    {73, "BG51 Events", "", 29, R::U16BE, D::Number},
    {74, "BG51 Dose Rate", "\xB5Sv/h", 31, R::F32BE, D::Number},
    {75, "Temperature", "C", 35, R::F32BE, D::ThreeDecimals},
    {76, "Rot Vect real", "", 39, R::F32BE, D::ThreeDecimals},
    {77, "Rot Vect X", "", 43, R::F32BE, D::ThreeDecimals},
    {78, "Rot Vect Y", "", 47, R::F32BE, D::ThreeDecimals},
    {79, "Rot Vect Z", "", 51, R::F32BE, D::ThreeDecimals},
    {80, "Rot Veect Acc", "", 55, R::F32BE, D::ThreeDecimals},
    {81, "Mag Field X", "\xB5T", 59, R::F32BE, D::ThreeDecimals},
    {82, "Mag Field Y", "\xB5T", 63, R::F32BE, D::ThreeDecimals},
    {83, "Mag Field Z", "\xB5T", 67, R::F32BE, D::ThreeDecimals},
    {84, "Mag Raw X", "", 71, R::U16BE, D::Number},
    {85, "Mag Raw Y", "", 73, R::U16BE, D::Number},
    {86, "Mag Raw Z", "", 75, R::U16BE, D::Number},
    {87, "Mag Raw Time", "\xB5s", 77, R::U16BE, D::Number},
    {88, "Ang Vel X", "deg/s", 81, R::F32BE, D::ThreeDecimals},
    {89, "Ang Vel Y", "deg/s", 85, R::F32BE, D::ThreeDecimals},
    {90, "Ang Vel Z", "deg/s", 89, R::F32BE, D::ThreeDecimals},
    {91, "Gyro Rot real", "", 93, R::F32BE, D::ThreeDecimals},
    {92, "Gyro Rot X", "", 97, R::F32BE, D::ThreeDecimals},
    {93, "Gyro Rot Y", "", 101, R::F32BE, D::ThreeDecimals},
    {94, "Gyro Rot Z", "", 105, R::F32BE, D::ThreeDecimals},
    {95, "Gyro Raw X", "", 109, R::U16BE, D::Number},
    {96, "Gyro Raw Y", "", 111, R::U16BE, D::Number},
    {97, "Gyro Raw Z", "", 113, R::U16BE, D::Number},
    {98, "Gyro Raw Temp", "", 115, R::U16BE, D::Number},
    {99, "Gyro Raw Time", "\xB5s", 117, R::U32BE, D::Number},
    {100, "Accel X", "", 121, R::F32BE, D::ThreeDecimals},
    {101, "Accel Y", "", 125, R::F32BE, D::ThreeDecimals},
    {102, "Accel Z", "", 129, R::F32BE, D::ThreeDecimals},
    {103, "Accel Raw X", "", 133, R::U16BE, D::Number},
    {104, "Accel Raw Y", "", 135, R::U16BE, D::Number},
    {105, "Accel Raw Z", "", 137, R::U16BE, D::Number},
    {106, "Accel Raw Time", "\xB5s", 0, R::Zero, D::Number},
}};
}  // namespace field_rows

inline constexpr const std::array<FieldDef, kFieldCount>& kFields = field_rows::kRows;

// The groups of three fields charted together (series 1, 2, 3 in this order).
inline constexpr std::array<std::array<int, 3>, 12> kFieldGroups{{
    {3, 4, 18},
    {5, 8, 11},
    {6, 9, 12},
    {7, 10, 13},
    {77, 78, 79},
    {81, 82, 83},
    {84, 85, 86},
    {88, 89, 90},
    {92, 93, 94},
    {95, 96, 97},
    {100, 101, 102},
    {103, 104, 105},
}};

}  // namespace quorbel
