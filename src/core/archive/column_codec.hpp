// The compact encoding of one column of a block of records (a field's values, the receive times):
// each block picks the narrowest form that holds its values exactly. Every storage of the archive
// that keeps its values in blocks shares it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "archive/archive.hpp"

namespace quorbel {

// Forms of a column, the first byte of its encoding:
//   Integers: whole numbers as an int64 base and unsigned offsets of 1, 2, 4 or 8 bytes
//   Float32:  values a single-precision float holds exactly
//   Float64:  every other column
// All multi-byte numbers little-endian.
enum class ColumnForm : std::uint8_t { Integers = 1, Float32 = 2, Float64 = 3 };

std::vector<std::uint8_t> EncodeValueColumn(std::span<const double> values);
// The `count` values of an encoded column; throws ArchiveError when the data does not hold them.
std::vector<double> DecodeValueColumn(std::span<const std::uint8_t> data, std::size_t count);

std::vector<std::uint8_t> EncodeTimeColumn(std::span<const std::int64_t> times);
std::vector<std::int64_t> DecodeTimeColumn(std::span<const std::uint8_t> data, std::size_t count);

}  // namespace quorbel
