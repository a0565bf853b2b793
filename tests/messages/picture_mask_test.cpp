#include "widgets/picture_mask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

namespace korvel {
namespace {

struct PictureCase {
    double value;
    const char* mask;
    char separator;
    const char* expected;
};

TEST(PictureMask, FormatsValuesThroughTheMasksInUse) {
    const PictureCase cases[] = {
        {-5.25, "###.##", ',', " -5,25"},
        {21.5, "###.##", '.', " 21.50"},
        {12, "##.#", '.', "12.0"},
        {-10, "##.#", '.', "-10.0"},  // sign needs a place the mask does not have: widens
        {-9.9, "##.#", ',', "-9,9"},
        {0, "999", '.', "  0"},
        {200, "999", '.', "200"},
        {65535, "99999", '.', "65535"},
        {-32768, "iiiiii", '.', "-32768"},
        {5, "iiiiiiiiiii", '.', "          5"},
        {-2147483648.0, "iiiiiiiiiii", '.', "-2147483648"},
        // Rounding is half away from zero, and a value rounded to zero shows no sign.
        {20.25, "##.#", '.', "20.3"},
        {-20.25, "##.#", '.', "-20.3"},
        {0.5, "999", '.', "  1"},
        {-0.04, "##.#", '.', " 0.0"},
        {-0.004, "###.##", ',', "  0,00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatPicture(c.value, c.mask, c.separator), c.expected) << c.value << " " << c.mask;
    }
}

TEST(PictureMask, TooManyDigitsShowsTheWholeNumberWider) {
    EXPECT_EQ(FormatPicture(1234.5, "##.#", '.'), "1234.5");
    EXPECT_EQ(FormatPicture(-100.5, "##.#", '.'), "-100.5");
    EXPECT_EQ(FormatPicture(123456, "999", '.'), "123456");
    EXPECT_EQ(FormatPicture(1e20, "##.#", '.'), "100000000000000000000.0");
}

TEST(PictureMask, MultiByteSeparatorKeepsTheCharacterWidth) {
    // U+066B ARABIC DECIMAL SEPARATOR, two bytes in UTF-8; still one position of the mask.
    EXPECT_EQ(FormatPicture(1.5, "###.#", "\xD9\xAB"), "  1\xD9\xAB" "5");
}

TEST(PictureMask, NonFiniteValuesDoNotCrash) {
    EXPECT_EQ(FormatPicture(std::nan(""), "##.#", '.'), " NaN");
    EXPECT_EQ(FormatPicture(-std::numeric_limits<double>::infinity(), "###.##", '.'), "  -INF");
}

// Every value the report can carry in hundredths and tenths must show its exact decimal digits,
// whatever the binary rounding of raw * 0.01 does.
TEST(PictureMask, EveryScaledReportValueShowsItsExactDigits) {
    for (int raw = -32768; raw <= 32767; ++raw) {
        char hundredths[32];
        char tenths[32];
        const int a = std::abs(raw);
        std::snprintf(hundredths, sizeof hundredths, "%s%d.%02d", raw < 0 ? "-" : "", a / 100, a % 100);
        std::snprintf(tenths, sizeof tenths, "%s%d.%d", raw < 0 ? "-" : "", a / 10, a % 10);
        std::string want100 = hundredths;
        std::string want10 = tenths;
        want100.insert(0, want100.size() < 6 ? 6 - want100.size() : 0, ' ');
        want10.insert(0, want10.size() < 5 ? 5 - want10.size() : 0, ' ');
        ASSERT_EQ(FormatPicture(raw * 0.01, "###.##", '.'), want100) << raw;
        ASSERT_EQ(FormatPicture(raw * 0.1, "###.#", '.'), want10) << raw;
    }
}

TEST(PictureMask, DecimalsCountAfterThePoint) {
    EXPECT_EQ(PictureDecimals("###.##"), 2);
    EXPECT_EQ(PictureDecimals("##.#"), 1);
    EXPECT_EQ(PictureDecimals("iiiiii"), 0);
    EXPECT_EQ(PictureDecimals(""), 0);
}

TEST(PictureMask, EntriesParseOnlyWhereTheyFitTheMask) {
    const struct {
        const char* text;
        const char* mask;
        const char* separator;
        std::optional<double> value;
    } cases[] = {
        {"-20.0", "###.#", ".", -20.0},
        {" 100.0 ", "###.#", ".", 100.0},
        {"19,3", "###.#", ",", 19.3},
        {"7", "###.#", ".", 7.0},
        {".5", "###.#", ".", 0.5},
        {"-100.0", "###.#", ".", std::nullopt},  // four places before the point
        {"1.25", "###.#", ".", std::nullopt},    // a decimal the field cannot show
        {"19.3", "###.#", ",", std::nullopt},    // not this locale's separator
        {"-9.9", "##.#", ".", -9.9},
        {"-10", "##.#", ".", std::nullopt},
        {"65535", "99999", ".", 65535.0},
        {"-1", "99999", ".", std::nullopt},      // no sign in an unsigned mask
        {"123456", "99999", ".", std::nullopt},
        {"1.0", "99999", ".", std::nullopt},
        {"-32768", "iiiiii", ".", -32768.0},
        {"-30", "iii", ".", -30.0},
        {"-100", "iii", ".", std::nullopt},
        {"", "iii", ".", std::nullopt},
        {"-", "iii", ".", std::nullopt},
        {"+5", "iii", ".", std::nullopt},
        {"1e2", "iiiiii", ".", std::nullopt},
        {"1 2", "iiiiii", ".", std::nullopt},
        {"0x10", "iiiiii", ".", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParsePicture(c.text, c.mask, c.separator), c.value) << c.text << " " << c.mask;
}

}  // namespace
}  // namespace korvel
