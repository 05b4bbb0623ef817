// Galois-field arithmetic, systematic encoding and Berlekamp-Massey repair for RS(255,223).
#include "reed_solomon.hpp"

#include <algorithm>
#include <array>
#include <bit>

// On x86-64 the syndromes and the count of the locator's roots use the SSSE3 byte shuffle, chosen
// at run time; elsewhere, and for the processors without it, the table code below does all.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUORBEL_RS_SHUFFLE 1
#include <immintrin.h>
#endif

namespace quorbel::ssdv {
namespace {

constexpr int kFieldPolynomial = 0x187;
constexpr int kFirstRoot = 112;
constexpr int kRootSpacing = 11;
constexpr int kFieldSize = 255;

struct Field {
    std::array<std::uint8_t, 2 * kFieldSize> exp{};
    std::array<int, 256> log{};
    std::array<std::uint8_t, kRsParitySymbols + 1> generator{};  // x^32 first
    // Products by each syndrome root: every window of a damaged stream is checked, so the
    // syndromes must be cheap.
    std::array<std::array<std::uint8_t, 256>, kRsParitySymbols> timesRoot{};
    // Products by each step of the root search (β^-i for the locator's term i), for the same
    // reason: the search runs over all 255 positions for every window.
    std::array<std::array<std::uint8_t, 256>, kRsParitySymbols + 1> timesSearchStep{};

    // For the byte shuffle, which multiplies 16 bytes at once by one factor c, one half-byte at a
    // time: c times each low half-byte 0-15, and c times each high half-byte (n << 4).
    std::array<std::array<std::uint8_t, 16>, 256> productsLow{};
    std::array<std::array<std::uint8_t, 16>, 256> productsHigh{};
    // Root j to the power e, for e = 0 to 254 and the 32 roots, split into half-bytes: a symbol
    // that stands e places before the codeword's end adds symbol · root_j^e to syndrome j.
    std::array<std::array<std::uint8_t, kRsParitySymbols>, kFieldSize> rootPowersLow{};
    std::array<std::array<std::uint8_t, kRsParitySymbols>, kFieldSize> rootPowersHigh{};
    // The root search 16 positions at a time: β^(-i·k) for k = 0 to 15, split into half-bytes,
    // and the products by β^(-16·i) that advance term i by 16 positions.
    std::array<std::array<std::uint8_t, 16>, kRsParitySymbols / 2 + 1> searchLow{};
    std::array<std::array<std::uint8_t, 16>, kRsParitySymbols / 2 + 1> searchHigh{};
    std::array<std::array<std::uint8_t, 256>, kRsParitySymbols / 2 + 1> timesSearchBatch{};
};

std::uint8_t Multiply(const Field& field, std::uint8_t a, std::uint8_t b) {
    if (a == 0 || b == 0) {
        return 0;
    }
    return field.exp[field.log[a] + field.log[b]];
}

// α raised to any integer power.
std::uint8_t RaiseAlpha(const Field& field, int exponent) {
    int reduced = exponent % kFieldSize;
    if (reduced < 0) {
        reduced += kFieldSize;
    }
    return field.exp[reduced];
}

std::uint8_t Divide(const Field& field, std::uint8_t a, std::uint8_t b) {
    if (a == 0) {
        return 0;
    }
    return RaiseAlpha(field, field.log[a] - field.log[b]);
}

Field BuildField() {
    Field field;
    int value = 1;
    for (int i = 0; i < kFieldSize; ++i) {
        field.exp[i] = static_cast<std::uint8_t>(value);
        field.exp[i + kFieldSize] = static_cast<std::uint8_t>(value);
        field.log[value] = i;
        value <<= 1;
        if ((value & 0x100) != 0) {
            value ^= kFieldPolynomial;
        }
    }
    field.log[0] = -1;
    // Multiply (x - root) factors; lowest degree first while building.
    std::array<std::uint8_t, kRsParitySymbols + 1> low{};
    low[0] = 1;
    for (int j = 0; j < kRsParitySymbols; ++j) {
        const std::uint8_t root = RaiseAlpha(field, kRootSpacing * (kFirstRoot + j));
        for (int i = j + 1; i > 0; --i) {
            low[i] = low[i - 1] ^ Multiply(field, root, low[i]);
        }
        low[0] = Multiply(field, root, low[0]);
    }
    for (int i = 0; i <= kRsParitySymbols; ++i) {
        field.generator[i] = low[kRsParitySymbols - i];
    }
    for (int j = 0; j < kRsParitySymbols; ++j) {
        const std::uint8_t root = RaiseAlpha(field, kRootSpacing * (kFirstRoot + j));
        for (int x = 0; x < 256; ++x) {
            field.timesRoot[j][x] = Multiply(field, static_cast<std::uint8_t>(x), root);
        }
    }
    for (int i = 0; i <= kRsParitySymbols; ++i) {
        const std::uint8_t step = RaiseAlpha(field, -kRootSpacing * i);
        for (int x = 0; x < 256; ++x) {
            field.timesSearchStep[i][x] = Multiply(field, static_cast<std::uint8_t>(x), step);
        }
    }
    for (int c = 0; c < 256; ++c) {
        for (int n = 0; n < 16; ++n) {
            const auto factor = static_cast<std::uint8_t>(c);
            field.productsLow[c][n] = Multiply(field, factor, static_cast<std::uint8_t>(n));
            field.productsHigh[c][n] = Multiply(field, factor, static_cast<std::uint8_t>(n << 4));
        }
    }
    for (int e = 0; e < kFieldSize; ++e) {
        for (int j = 0; j < kRsParitySymbols; ++j) {
            const std::uint8_t power = RaiseAlpha(field, kRootSpacing * (kFirstRoot + j) * e);
            field.rootPowersLow[e][j] = power & 0x0F;
            field.rootPowersHigh[e][j] = power >> 4;
        }
    }
    for (int i = 0; i <= kRsParitySymbols / 2; ++i) {
        for (int k = 0; k < 16; ++k) {
            const std::uint8_t step = RaiseAlpha(field, -kRootSpacing * i * k);
            field.searchLow[i][k] = step & 0x0F;
            field.searchHigh[i][k] = step >> 4;
        }
        const std::uint8_t batch = RaiseAlpha(field, -kRootSpacing * 16 * i);
        for (int x = 0; x < 256; ++x) {
            field.timesSearchBatch[i][x] = Multiply(field, static_cast<std::uint8_t>(x), batch);
        }
    }
    return field;
}

const Field& BuildFieldOnce() {
    static const Field field = BuildField();
    return field;
}

using Poly = std::array<std::uint8_t, kRsParitySymbols + 1>;  // lowest degree first

// Berlekamp-Massey: error locator from the syndromes; returns its degree.
int FindErrorLocator(const Field& f, const std::array<std::uint8_t, kRsParitySymbols>& syndromes,
                     Poly& locator) {
    Poly previous{};
    locator = Poly{};
    locator[0] = 1;
    previous[0] = 1;
    int length = 0;
    int shift = 1;
    std::uint8_t lastDiscrepancy = 1;
    for (int n = 0; n < kRsParitySymbols; ++n) {
        std::uint8_t discrepancy = syndromes[n];
        for (int i = 1; i <= length; ++i) {
            discrepancy ^= Multiply(f, locator[i], syndromes[n - i]);
        }
        if (discrepancy == 0) {
            ++shift;
            continue;
        }
        const std::uint8_t scale = Divide(f, discrepancy, lastDiscrepancy);
        const Poly saved = locator;
        for (int i = 0; i + shift <= kRsParitySymbols; ++i) {
            locator[i + shift] ^= Multiply(f, scale, previous[i]);
        }
        if (2 * length <= n) {
            length = n + 1 - length;
            previous = saved;
            lastDiscrepancy = discrepancy;
            shift = 1;
        } else {
            ++shift;
        }
    }
    return length;
}

std::uint8_t Evaluate(const Field& f, const Poly& poly, int degree, std::uint8_t x) {
    std::uint8_t result = 0;
    for (int i = degree; i >= 0; --i) {
        result = Multiply(f, result, x) ^ poly[i];
    }
    return result;
}

using Syndromes = std::array<std::uint8_t, kRsParitySymbols>;

// Horner evaluation at all 32 roots at once: the 32 running sums are independent, so the table
// look-ups overlap instead of waiting on each other.
Syndromes ComputeSyndromes(const Field& f, std::span<const std::uint8_t> codeword) {
    Syndromes syndromes{};
    for (std::uint8_t symbol : codeword) {
        for (int j = 0; j < kRsParitySymbols; ++j) {
            syndromes[j] = f.timesRoot[j][syndromes[j]] ^ symbol;
        }
    }
    return syndromes;
}

#ifdef QUORBEL_RS_SHUFFLE

bool HasByteShuffle() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return has;
}

__m128i Load16(const std::uint8_t* bytes) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}

// c times each of the 16 bytes whose half-bytes are `low` and `high`.
__attribute__((target("ssse3"))) __m128i TimesFactor(const Field& f, std::uint8_t c, __m128i low,
                                                     __m128i high) {
    return _mm_xor_si128(_mm_shuffle_epi8(Load16(f.productsLow[c].data()), low),
                         _mm_shuffle_epi8(Load16(f.productsHigh[c].data()), high));
}

// The same sums as ComputeSyndromes, 16 syndromes at a time: each symbol times the powers of the
// roots for its place.
__attribute__((target("ssse3"))) Syndromes ComputeSyndromesByShuffle(
    const Field& f, std::span<const std::uint8_t> codeword) {
    __m128i first = _mm_setzero_si128();
    __m128i second = _mm_setzero_si128();
    const std::size_t count = codeword.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t symbol = codeword[i];
        if (symbol == 0)
            continue;
        const std::size_t place = count - 1 - i;
        const std::uint8_t* low = f.rootPowersLow[place].data();
        const std::uint8_t* high = f.rootPowersHigh[place].data();
        first = _mm_xor_si128(first, TimesFactor(f, symbol, Load16(low), Load16(high)));
        second = _mm_xor_si128(second, TimesFactor(f, symbol, Load16(low + 16), Load16(high + 16)));
    }
    Syndromes syndromes{};
    _mm_storeu_si128(reinterpret_cast<__m128i*>(syndromes.data()), first);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(syndromes.data() + 16), second);
    return syndromes;
}

// How many of the 255 positions are roots of the locator (of degree at most 16), 16 positions at
// a time: term i at position d0 + k is c_i · β^(-i·k), with c_i = locator[i] · β^(-i·d0).
__attribute__((target("ssse3"))) int CountRootsByShuffle(const Field& f, const Poly& locator,
                                                         int degree) {
    std::array<std::uint8_t, kRsParitySymbols / 2 + 1> factors{};
    std::copy_n(locator.begin(), degree + 1, factors.begin());
    int roots = 0;
    for (int start = 0; start < kFieldSize; start += 16) {
        __m128i sum = _mm_setzero_si128();
        for (int i = 0; i <= degree; ++i) {
            const std::uint8_t c = factors[static_cast<std::size_t>(i)];
            sum = _mm_xor_si128(sum, TimesFactor(f, c, Load16(f.searchLow[i].data()),
                                                 Load16(f.searchHigh[i].data())));
            factors[static_cast<std::size_t>(i)] = f.timesSearchBatch[i][c];
        }
        auto zeros =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(sum, _mm_setzero_si128())));
        if (start + 16 > kFieldSize)
            zeros &= (1U << (kFieldSize - start)) - 1;  // the last 15 positions only
        roots += std::popcount(zeros);
    }
    return roots;
}

#else

constexpr bool HasByteShuffle() {
    return false;
}

#endif

struct ErrorSymbol {
    int degree = 0;  // power of x of the wrong symbol
    std::uint8_t value = 0;
};

// Chien search for the locator's roots and Forney's formula for the error values. Fails unless
// the locator has exactly `errors` distinct roots.
bool LocateErrors(const Field& f, const Syndromes& syndromes, const Poly& locator, int errors,
                  std::array<ErrorSymbol, kRsParitySymbols>& found) {
    Poly evaluator{};  // syndromes times locator, truncated to 32 terms
    for (int i = 0; i < kRsParitySymbols; ++i) {
        for (int k = 0; k <= i && k <= errors; ++k) {
            evaluator[i] ^= Multiply(f, locator[k], syndromes[i - k]);
        }
    }
    Poly derivative{};
    for (int i = 1; i <= errors; i += 2) {
        derivative[i - 1] = locator[i];
    }
    // Term i at degree d is locator[i]·β^(-i·d), advanced by one product per step (a zero term
    // stays zero).
    Poly term = locator;
    int count = 0;
    for (int degree = 0; degree < kFieldSize; ++degree) {
        std::uint8_t sum = 0;
        for (int i = 0; i <= errors; ++i) {
            sum ^= term[i];
            term[i] = f.timesSearchStep[i][term[i]];
        }
        if (sum != 0) {
            continue;
        }
        const std::uint8_t inverse = RaiseAlpha(f, -kRootSpacing * degree);
        const std::uint8_t denominator = Evaluate(f, derivative, errors, inverse);
        if (count == errors || denominator == 0) {
            return false;
        }
        const std::uint8_t numerator =
            Multiply(f, RaiseAlpha(f, kRootSpacing * degree * (1 - kFirstRoot)),
                     Evaluate(f, evaluator, kRsParitySymbols - 1, inverse));
        found[count++] = {degree, Divide(f, numerator, denominator)};
    }
    return count == errors;
}

}  // namespace

std::span<const std::uint8_t, kRsParitySymbols + 1> ListGeneratorCoefficients() {
    return BuildFieldOnce().generator;
}

void ComputeReedSolomonParity(std::span<const std::uint8_t> data,
                              std::span<std::uint8_t, kRsParitySymbols> parity) {
    const Field& f = BuildFieldOnce();
    std::array<std::uint8_t, kRsParitySymbols> reg{};
    for (std::uint8_t symbol : data) {
        const std::uint8_t feedback = symbol ^ reg[0];
        for (int i = 0; i < kRsParitySymbols - 1; ++i) {
            reg[i] = reg[i + 1] ^ Multiply(f, feedback, f.generator[i + 1]);
        }
        reg[kRsParitySymbols - 1] = Multiply(f, feedback, f.generator[kRsParitySymbols]);
    }
    for (int i = 0; i < kRsParitySymbols; ++i) {
        parity[i] = reg[i];
    }
}

namespace {

// The repair, with the byte shuffle for the syndromes and for ruling out a locator whose roots do
// not number its degree (as in every window of a damaged stream), or with the tables alone.
std::optional<int> Repair(std::span<std::uint8_t> codeword, [[maybe_unused]] bool shuffle) {
    const Field& f = BuildFieldOnce();
    const int count = static_cast<int>(codeword.size());
    if (count <= kRsParitySymbols || count > kRsMaxSymbols) {
        return std::nullopt;
    }
#ifdef QUORBEL_RS_SHUFFLE
    const Syndromes syndromes =
        shuffle ? ComputeSyndromesByShuffle(f, codeword) : ComputeSyndromes(f, codeword);
#else
    const Syndromes syndromes = ComputeSyndromes(f, codeword);
#endif
    if (std::all_of(syndromes.begin(), syndromes.end(), [](std::uint8_t s) { return s == 0; })) {
        return 0;
    }
    Poly locator;
    const int errors = FindErrorLocator(f, syndromes, locator);
    if (errors > kRsParitySymbols / 2) {
        return std::nullopt;
    }
#ifdef QUORBEL_RS_SHUFFLE
    // The root search below fails unless the locator has exactly `errors` roots.
    if (shuffle && CountRootsByShuffle(f, locator, errors) != errors) {
        return std::nullopt;
    }
#endif
    std::array<ErrorSymbol, kRsParitySymbols> found{};
    if (!LocateErrors(f, syndromes, locator, errors, found)) {
        return std::nullopt;
    }
    int corrected = 0;
    for (int i = 0; i < errors; ++i) {
        if (found[i].degree < count) {  // positions in the virtual leading zeros are left out
            codeword[count - 1 - found[i].degree] ^= found[i].value;
            ++corrected;
        }
    }
    return corrected;
}

}  // namespace

std::optional<int> RepairReedSolomon(std::span<std::uint8_t> codeword) {
    return Repair(codeword, HasByteShuffle());
}

std::optional<int> RepairReedSolomonWithTables(std::span<std::uint8_t> codeword) {
    return Repair(codeword, false);
}

}  // namespace quorbel::ssdv
