#include <gtest/gtest.h>

#include "support/form_fixture.h"

namespace qv {
namespace {

TEST_F(FormFixture, DesignStateLeavesOnlySetupBaroAndStatusUsable) {
    EXPECT_TRUE(form.cmdDetectZov.usable());
    EXPECT_TRUE(form.Combo1.usable());
    EXPECT_TRUE(form.Command12.usable());
    EXPECT_FALSE(form.Command7.usable());
    EXPECT_FALSE(form.cmdReadCurrentValues.usable());
    EXPECT_FALSE(form.Command4.usable());
    EXPECT_FALSE(form.Option2_0.usable());
    EXPECT_EQ(form.Option2.selected(), 1);
    EXPECT_EQ(form.Option4.selected(), -1);
    EXPECT_EQ(form.cboTableTempUnit.listIndex(), -1);
    EXPECT_EQ(form.defaultButton, &form.cmdDetectZov);
    EXPECT_EQ(form.caption.size(), std::string("Morvelaine\u00ae Quorvel Configuration Software").size() + 106 + 13);
}

}  // namespace
}  // namespace qv
