// Inputs the fuzz targets found failing, kept so the faults stay mended.
#include <gtest/gtest.h>

#include <climits>

#include "table/table_lines.h"

namespace qv {

// The smallest int has no positive counterpart; its digits were taken by
// negating it, which overflows.
TEST(FuzzRegression, IndexFieldOfTheSmallestIntGivesItsDigits) {
    EXPECT_EQ(table::indexField(INT_MIN), "2147483648");
    EXPECT_EQ(table::indexField(-7), "007");
}

}  // namespace qv
