#include <gtest/gtest.h>

#include "support/form_fixture.h"

namespace qv {
namespace {

TEST_F(FormFixture, DesignCaptionsAreExact) {
    EXPECT_EQ(form.caption, "Morvelaine\u00ae Quorvel Configuration Software" + std::string(106, ' ') + "Version 1.1.0");
    EXPECT_EQ(form.Command10.caption() + "|" + form.Command2.caption() + "|" + form.Label1.caption() + "|" + form.Frame7.caption(),
              "Get Table  from PC File|Save Table   to PC File|Pressure reduction constant  (inHg):| Pressure Reduction Table Filename");
    EXPECT_EQ(form.Option2[0].caption() + form.Option2[1].caption() + form.Option4[0].caption() + form.Option4[1].caption(),
              "ShowHideEnableDisable");
    EXPECT_EQ(form.cboTableTempUnit.items(), (std::vector<std::string>{"    \u00b0C", "    \u00b0F", "    \u00b0R"}));
}

TEST_F(FormFixture, BoxesTakeOnlyTheirCharactersAndTheDropDownsOnlyTheirListItems) {
    ASSERT_TRUE(form.Form_Load());
    form.EnableFrames();
    EXPECT_FALSE(form.Command12.press());  // its frame, enabled, stays hidden by default
    for (TextBox* box : {&form.txt12HourTemp, &form.txtPressureReductionConstant}) {
        box->typeText("-12.50123456789.-");
        // Everything else is dropped with a beep, Backspace and Enter included.
        for (int key : std::string("a\b\r +,eE/:")) EXPECT_FALSE(box->type(key)) << box->name() << key;
        EXPECT_EQ(box->text() + std::to_string(std::exchange(ui.beeps, 0)), "-12.50123456789.-10");
    }
    // A drop-down box takes no typed key, and no beep either.
    for (ComboBox* box : {&form.cboTableTempUnit, &form.Combo1, &form.Combo2, &form.Combo3}) {
        for (int key : std::string("a1 \b\r")) EXPECT_FALSE(box->type(key)) << box->name() << key;
        EXPECT_TRUE(box->pick(1) && box->text() == box->items()[1] && ui.beeps == 0) << box->name();
    }
}

}  // namespace
}  // namespace qv
