// The pieces of the bit stream that a listener would not notice but a decoder would: the
// bit writer, run/level codes and their end-of-block rule, bit counts that match what is
// written, and exponents within the format's limits.
#include "bit_writer.h"
#include "block_syntax.h"
#include "exponent_coder.h"
#include "quantiser.h"
#include "tables.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace wma2;

// Reads a run/level coded list back the way the decoder does: returns the values, or an
// empty vector if the codes run past `count`.
std::vector<int> ReadCoefficients(const BitWriter& bits, const CoefficientCode& code, int count,
                                  int escape_bits, int frame_bits, std::uint64_t* used) {
    std::uint64_t at = 0;
    const auto read = [&](int n) {
        const std::uint32_t v = bits.Peek(at, n);
        at += static_cast<std::uint64_t>(n);
        return v;
    };
    std::vector<int> values(static_cast<std::size_t>(count), 0);
    int position = 0;
    while (position < count) {
        int symbol = -1;
        for (int s = 0; s < code.count && symbol < 0; ++s) {
            if (bits.Peek(at, code.lengths[s]) == code.codes[s]) {
                symbol = s;
            }
        }
        EXPECT_GE(symbol, 0);
        at += code.lengths[symbol];
        if (symbol == kEndOfBlockSymbol) {
            break;
        }
        int level = 0;
        if (symbol == kEscapeSymbol) {
            level = static_cast<int>(read(escape_bits));
            position += static_cast<int>(read(frame_bits));
        } else {
            int l = 1;
            while (l < code.max_level && code.first[l] <= symbol) {
                ++l;
            }
            level = l;
            position += symbol - code.first[l - 1];
        }
        const bool positive = read(1) == 1;
        if (position >= count) {
            return {};
        }
        values[static_cast<std::size_t>(position)] = positive ? level : -level;
        ++position;
    }
    *used = at;
    return values;
}

TEST(BitWriter, WritesMostSignificantBitFirstAndCopiesUnalignedRanges) {
    BitWriter a;
    a.Put(0b101, 3);
    a.Put(0xABCD, 16);
    a.PutBit(true);
    EXPECT_EQ(a.size(), 20u);
    EXPECT_EQ(a.Peek(0, 3), 0b101u);
    EXPECT_EQ(a.Peek(3, 16), 0xABCDu);
    EXPECT_EQ(a.Bytes(), (std::vector<std::uint8_t>{0xB5, 0x79, 0xB0}));
    BitWriter b;
    b.Put(1, 1);
    b.Append(a, 3, 17);
    EXPECT_EQ(b.size(), 18u);
    EXPECT_EQ(b.Peek(1, 16), 0xABCDu);
    EXPECT_TRUE(b.At(17));
    EXPECT_EQ(b.Peek(16, 8), 0b11000000u); // zeros past the end
}

TEST(RunLevelCode, EndOfBlockOnlyWhenTheLastValueIsNotAtTheLastPosition) {
    const CoefficientCode& code = CoefficientCodeTable(4);
    for (const int last : {10, 99}) {
        std::vector<std::int32_t> values(100, 0);
        values[3] = 2;
        values[static_cast<std::size_t>(last)] = -1;
        BitWriter bits;
        PutCoefficients(bits, code, values.data(), 100, 9, 11);
        // A decoder stops reading at position 100 by itself: an end of block written after
        // a value there would be left over (and read as the next field).
        std::uint64_t used = 0;
        EXPECT_EQ(ReadCoefficients(bits, code, 100, 9, 11, &used),
                  std::vector<int>(values.begin(), values.end()));
        EXPECT_EQ(used, bits.size()) << "last value at " << last;
    }
}

TEST(RunLevelCode, EscapesCarryLargeLevelsAndLongRunsAndCountsMatchTheBits) {
    std::mt19937 random(5);
    for (int table = 0; table < 6; ++table) {
        const CoefficientCode& code = CoefficientCodeTable(table);
        std::vector<std::int32_t> values(466, 0);
        for (int i = 0; i < 60; ++i) {
            const int position = static_cast<int>(random() % 466);
            const int magnitude = random() % 4 == 0 ? static_cast<int>(random() % 500) + 1
                                                    : static_cast<int>(random() % 3) + 1;
            values[static_cast<std::size_t>(position)] = random() % 2 ? magnitude : -magnitude;
        }
        values[460] = 511; // past every table's largest level: an escape
        BitWriter bits;
        PutCoefficients(bits, code, values.data(), 466, 9, 11);
        BitCounter counter;
        PutCoefficients(counter, code, values.data(), 466, 9, 11);
        EXPECT_EQ(counter.bits, bits.size());
        std::uint64_t used = 0;
        EXPECT_EQ(ReadCoefficients(bits, code, 466, 9, 11, &used),
                  std::vector<int>(values.begin(), values.end()))
            << "table " << table;
    }
}

TEST(RunLevelCode, FillerIsZeroLevelEscapesThatDecodeToNothing) {
    const CoefficientCode& code = CoefficientCodeTable(2);
    std::vector<std::int32_t> values(50, 0);
    values[4] = 3;
    values[20] = -1;
    BitWriter plain;
    PutCoefficients(plain, code, values.data(), 50, 12, 11);
    const int each = FillerBits(code, 12, 11);
    // Filler takes the last zeros: behind the last value it costs its escapes (and the end
    // of block goes, as the escapes reach the last position); among earlier zeros it also
    // shortens the runs of the values after it.
    for (const int filler : {1, 10, 29, 30, 47, 60}) {
        BitWriter bits;
        PutCoefficients(bits, code, values.data(), 50, 12, 11, filler);
        if (filler <= 29) {
            EXPECT_EQ(bits.size(), plain.size() + static_cast<std::uint64_t>(filler * each) -
                                       code.lengths[kEndOfBlockSymbol]);
        } else {
            EXPECT_GT(bits.size(), plain.size() + static_cast<std::uint64_t>(29 * each));
        }
        BitCounter counter;
        PutCoefficients(counter, code, values.data(), 50, 12, 11, filler);
        EXPECT_EQ(counter.bits, bits.size());
        std::uint64_t used = 0;
        EXPECT_EQ(ReadCoefficients(bits, code, 50, 12, 11, &used),
                  std::vector<int>(values.begin(), values.end()))
            << filler;
        EXPECT_EQ(used, bits.size());
    }
}

TEST(Quantiser, RoundsWithABiasTowardsZeroAndLimitsTheLevel) {
    const std::vector<float> coefs = {0.0F, 0.6F, 0.7F, -1.6F, 2.5F, -900.0F};
    const std::vector<float> ones(coefs.size(), 1.0F);
    std::vector<std::int32_t> values(coefs.size());
    EXPECT_TRUE(Quantise(coefs.data(), ones.data(), 1.0F, 0.18F, 6, 511, values.data()));
    EXPECT_EQ(values, (std::vector<std::int32_t>{0, 0, 1, -1, 2, -511}));
    EXPECT_FALSE(Quantise(coefs.data(), ones.data(), 0.1F, 0.18F, 3, 511, values.data()));
}

TEST(Exponents, StayWithinTheFormatsLimitsWhateverTheWantedCurve) {
    std::mt19937 random(9);
    for (int trial = 0; trial < 200; ++trial) {
        const int bands = 12 + static_cast<int>(random() % 14);
        std::array<float, kMaxExponentBands> wanted{};
        std::array<float, kMaxExponentBands> weight{};
        for (int b = 0; b < bands; ++b) {
            // Smooth curves, cliffs of 100 units and more, and bands that carry nothing.
            wanted[b] = trial % 3 == 0 ? static_cast<float>(random() % 300) - 100.0F
                                       : 40.0F - 2.0F * static_cast<float>(b);
            weight[b] = random() % 4 == 0 ? 0.0F : static_cast<float>(random() % 50);
        }
        Exponents exponents{};
        const int offset = ChooseExponents(wanted.data(), weight.data(), bands, 0.12F, exponents);
        int previous = kFirstExponentBase;
        for (int b = 0; b < bands; ++b) {
            EXPECT_GE(exponents[b], kMinExponent);
            EXPECT_LE(exponents[b], kMaxExponent);
            EXPECT_LE(std::abs(exponents[b] - previous), kMaxExponentDelta);
            previous = exponents[b];
        }
        if (trial % 3 != 0) {
            // A gentle curve is followed to within a step, at its own offset.
            for (int b = 0; b < bands; ++b) {
                if (weight[b] > 0) {
                    EXPECT_NEAR(exponents[b], wanted[b] + static_cast<float>(offset), 3.0F);
                }
            }
        }
        BitCounter counter;
        int base = kFirstExponentBase;
        for (int b = 0; b < bands; ++b) {
            PutCode(counter, ExponentDeltaCode(), exponents[b] - base);
            base = exponents[b];
        }
        EXPECT_EQ(static_cast<int>(counter.bits), ExponentBits(exponents, bands));
    }
}

} // namespace
