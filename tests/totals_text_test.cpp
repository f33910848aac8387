#include "present/totals_text.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(TotalsText, WordsFailuresAndSixtyFourBitTotals)
{
    EXPECT_EQ(files_text({12, 0, 5, 1}), "12");
    EXPECT_EQ(files_text({7, 2, 0, 0}), "7 (2 failed to open)");
    EXPECT_EQ(files_text({0, std::uint64_t{1} << 32, 0, 0}), "0 (4294967296 failed to open)");
    EXPECT_EQ(totals_line({3, 2, UINT64_MAX, std::uint64_t{1} << 32}),
              "files=3 failed=2 characters=18446744073709551615 lines=4294967296");
}
