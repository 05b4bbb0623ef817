// Column encoding: whole numbers as a base and the narrowest offsets, else float32 when exact,
// else double; little-endian on every host.
#include "archive/column_codec.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace quorbel {
namespace {

// Writes `width` bytes of the value at `out`; returns the place after them.
std::uint8_t* PutLittleEndian(std::uint8_t* out, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        *out++ = static_cast<std::uint8_t>(value >> (8 * i));
    return out;
}

std::uint64_t GetLittleEndian(const std::uint8_t* data, int width) {
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i)
        value |= std::uint64_t{data[i]} << (8 * i);
    return value;
}

// The same for a width known when compiling: on a little-endian host one load of that width.
template <int kWidth>
std::uint64_t GetLittleEndian(const std::uint8_t* data) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t value = 0;
        std::memcpy(&value, data, kWidth);
        return value;
    } else {
        return GetLittleEndian(data, kWidth);
    }
}

int OffsetWidth(std::uint64_t span) {
    if (span <= 0xFF)
        return 1;
    if (span <= 0xFFFF)
        return 2;
    if (span <= 0xFFFFFFFF)
        return 4;
    return 8;
}

// Integers form: form byte, width byte, base, offsets.
template <typename Value>
std::vector<std::uint8_t> EncodeIntegers(std::span<const Value> values, auto toInteger) {
    std::int64_t low = 0;
    std::int64_t high = 0;
    if (!values.empty()) {
        low = high = toInteger(values[0]);
        for (const Value v : values) {
            low = std::min(low, toInteger(v));
            high = std::max(high, toInteger(v));
        }
    }
    const int width =
        OffsetWidth(static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low));
    std::vector<std::uint8_t> out(10 + values.size() * static_cast<std::size_t>(width));
    out[0] = static_cast<std::uint8_t>(ColumnForm::Integers);
    out[1] = static_cast<std::uint8_t>(width);
    std::uint8_t* at = PutLittleEndian(out.data() + 2, static_cast<std::uint64_t>(low), 8);
    const auto base = static_cast<std::uint64_t>(low);
    // One loop per width, so that each one's stores are plain.
    const auto put = [&]<int kWidth>() {
        for (const Value v : values)
            at = PutLittleEndian(at, static_cast<std::uint64_t>(toInteger(v)) - base, kWidth);
    };
    if (width == 1)
        put.template operator()<1>();
    else if (width == 2)
        put.template operator()<2>();
    else if (width == 4)
        put.template operator()<4>();
    else
        put.template operator()<8>();
    return out;
}

[[noreturn]] void ThrowDamaged() {
    throw ArchiveError(
        "a block of archived values is damaged (its column does not hold its "
        "records); Rebuild makes the blocks again from the frames");
}

template <typename Value>
std::vector<Value> DecodeIntegers(std::span<const std::uint8_t> data, std::size_t count) {
    if (data.size() < 10)
        ThrowDamaged();
    const int width = data[1];
    if ((width != 1 && width != 2 && width != 4 && width != 8) ||
        data.size() != 10 + count * static_cast<std::size_t>(width))
        ThrowDamaged();
    const std::uint64_t base = GetLittleEndian(data.data() + 2, 8);
    std::vector<Value> values(count);
    const std::uint8_t* offsets = data.data() + 10;
    const auto take = [&]<int kWidth>() {
        for (std::size_t i = 0; i < count; ++i, offsets += kWidth)
            values[i] = static_cast<Value>(
                static_cast<std::int64_t>(base + GetLittleEndian<kWidth>(offsets)));
    };
    if (width == 1)
        take.template operator()<1>();
    else if (width == 2)
        take.template operator()<2>();
    else if (width == 4)
        take.template operator()<4>();
    else
        take.template operator()<8>();
    return values;
}

// Whole numbers a double holds exactly, and not -0 (whose sign the integers would lose).
bool IsExactInteger(double v) {
    constexpr double kLimit = 9007199254740992.0;  // 2^53
    return v >= -kLimit && v <= kLimit && v == std::trunc(v) && !(v == 0 && std::signbit(v));
}

bool IsExactFloat(double v) {
    return std::isnan(v) ? false : static_cast<double>(static_cast<float>(v)) == v;
}

}  // namespace

std::vector<std::uint8_t> EncodeValueColumn(std::span<const double> values) {
    if (std::all_of(values.begin(), values.end(), IsExactInteger))
        return EncodeIntegers(values, [](double v) { return static_cast<std::int64_t>(v); });
    const bool asFloat = std::all_of(values.begin(), values.end(), IsExactFloat);
    const int width = asFloat ? 4 : 8;
    std::vector<std::uint8_t> out(1 + values.size() * static_cast<std::size_t>(width));
    out[0] = static_cast<std::uint8_t>(asFloat ? ColumnForm::Float32 : ColumnForm::Float64);
    std::uint8_t* at = out.data() + 1;
    for (const double v : values) {
        at = asFloat ? PutLittleEndian(at, std::bit_cast<std::uint32_t>(static_cast<float>(v)), 4)
                     : PutLittleEndian(at, std::bit_cast<std::uint64_t>(v), 8);
    }
    return out;
}

std::vector<double> DecodeValueColumn(std::span<const std::uint8_t> data, std::size_t count) {
    if (data.empty())
        ThrowDamaged();
    switch (static_cast<ColumnForm>(data[0])) {
        case ColumnForm::Integers:
            return DecodeIntegers<double>(data, count);
        case ColumnForm::Float32:
        case ColumnForm::Float64: {
            const int width = data[0] == static_cast<std::uint8_t>(ColumnForm::Float32) ? 4 : 8;
            if (data.size() != 1 + count * static_cast<std::size_t>(width))
                ThrowDamaged();
            std::vector<double> values(count);
            const std::uint8_t* p = data.data() + 1;
            for (std::size_t i = 0; i < count; ++i, p += width) {
                const std::uint64_t bits = GetLittleEndian(p, width);
                values[i] = width == 4 ? std::bit_cast<float>(static_cast<std::uint32_t>(bits))
                                       : std::bit_cast<double>(bits);
            }
            return values;
        }
    }
    ThrowDamaged();
}

std::vector<std::uint8_t> EncodeTimeColumn(std::span<const std::int64_t> times) {
    return EncodeIntegers(times, [](std::int64_t t) { return t; });
}

std::vector<std::int64_t> DecodeTimeColumn(std::span<const std::uint8_t> data, std::size_t count) {
    if (data.empty() || data[0] != static_cast<std::uint8_t>(ColumnForm::Integers))
        ThrowDamaged();
    return DecodeIntegers<std::int64_t>(data, count);
}

}  // namespace quorbel
