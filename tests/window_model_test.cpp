#include <gtest/gtest.h>

#include "support/form_fixture.h"

namespace qv {
namespace {

bool inside(const Control* c, const Control* container) {
    for (const Control* p = c; p; p = p->parent())
        if (p == container) return true;
    return false;
}

TEST_F(FormFixture, DesignStateLeavesOnlySetupBaroAndStatusUsableWithTheExactCaptions) {
    // Usable: everything in Program Setup except the table file frame, in
    // Barometric Mode and in Status; nothing else.
    for (Control* c : form.controls())
        EXPECT_EQ(c->usable(), (inside(c, &form.Frame13) && !inside(c, &form.Frame7)) || inside(c, &form.Frame12) ||
                                   inside(c, &form.Frame2)) << c->name();
    EXPECT_EQ(form.caption, "Morvelaine\u00ae Quorvel Configuration Software" + std::string(106, ' ') + "Version 1.1.0");
    EXPECT_EQ(form.Command10.caption() + "|" + form.Command2.caption() + "|" + form.Label1.caption() + "|" +
                  form.Frame7.caption() + "|" + form.Option2[0].caption() + form.Option2[1].caption() +
                  form.Option4[0].caption() + form.Option4[1].caption(),
              "Get Table  from PC File|Save Table   to PC File|Pressure reduction constant  (inHg):| Pressure Reduction "
              "Table Filename|ShowHideEnableDisable");
    EXPECT_EQ(form.cboTableTempUnit.items(), (std::vector<std::string>{"    \u00b0C", "    \u00b0F", "    \u00b0R"}));
}

TEST_F(FormFixture, BoxesTakeOnlyTheirCharactersAndTheDropDownsOnlyTheirListItems) {
    ASSERT_TRUE(form.Form_Load());
    form.EnableFrames();
    for (TextBox* box : {&form.txt12HourTemp, &form.txtPressureReductionConstant}) {
        box->typeText("-12.50123456789.-");
        // Everything else is dropped with a beep, Backspace and Enter included.
        for (int key : std::string("a\b\r +,eE/:")) EXPECT_FALSE(box->type(key)) << box->name() << key;
        EXPECT_EQ(box->text(), "-12.50123456789.-");
        EXPECT_EQ(ui.beeps, 10);
        ui.beeps = 0;
    }
    // A drop-down box takes no typed key, and no beep either.
    for (ComboBox* box : {&form.cboTableTempUnit, &form.Combo1, &form.Combo2, &form.Combo3}) {
        for (int key : std::string("a1 \b\r")) EXPECT_FALSE(box->type(key)) << box->name() << key;
        EXPECT_TRUE(box->pick(1));
        EXPECT_EQ(box->text(), box->items()[1]);
    }
    EXPECT_EQ(ui.beeps, 0);
}

}  // namespace
}  // namespace qv
