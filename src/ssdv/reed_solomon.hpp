// Reed-Solomon RS(255,223) code with the CCSDS parameters that protect type 0x66 packets.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace quorbel::ssdv {

inline constexpr int kRsParitySymbols = 32;
inline constexpr int kRsMaxSymbols = 255;

// Computes the parity of a (possibly shortened) codeword: `data` holds at most 223 symbols, the
// first being the highest-degree coefficient; `parity` receives the 32 parity symbols.
void ComputeReedSolomonParity(std::span<const std::uint8_t> data,
                              std::span<std::uint8_t, kRsParitySymbols> parity);

// Repairs a shortened codeword (data followed by parity, at most 255 symbols, at least 33) in
// place. Returns the number of symbols corrected, or nothing when the errors cannot be located.
// Error positions that fall into the virtual leading zeros are left out, so a wrong repair is
// still possible; callers check the packet CRC afterwards.
std::optional<int> RepairReedSolomon(std::span<std::uint8_t> codeword);
// The same repair without the processor's vector instructions, which RepairReedSolomon uses where
// the processor has them: the same results, more slowly.
std::optional<int> RepairReedSolomonWithTables(std::span<std::uint8_t> codeword);

// Coefficients of the generator polynomial, x^32 first (33 values).
std::span<const std::uint8_t, kRsParitySymbols + 1> ListGeneratorCoefficients();

}  // namespace quorbel::ssdv
