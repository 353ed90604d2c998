#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    for (Control* c : form.controls()) {
        const bool expected = (inside(c, &form.Frame13) && !inside(c, &form.Frame7)) || inside(c, &form.Frame12) ||
                              inside(c, &form.Frame2);
        EXPECT_EQ(c->usable(), expected) << c->name();
    }
    EXPECT_EQ(form.Option2.selected(), 1);
    EXPECT_EQ(form.Option4.selected(), -1);
    EXPECT_EQ(form.cboTableTempUnit.listIndex(), -1);
    EXPECT_EQ(form.defaultButton, &form.cmdDetectZov);
    EXPECT_EQ(form.List1.listCount() + form.List2.listCount() + form.ProgressBar1.value(), 0);
    EXPECT_EQ(form.txt12HourTemp.text() + form.txtPressureReductionConstant.text() + form.Label2.caption() +
                  form.cboTableTempUnit.text(), "");

    EXPECT_EQ(form.caption, "Morvelaine\u00ae Quorvel Configuration Software" + std::string(106, ' ') +
                                "Version 1.1.0");
    EXPECT_EQ(form.Command10.caption(), "Get Table  from PC File");
    EXPECT_EQ(form.Command2.caption(), "Save Table   to PC File");
    EXPECT_EQ(form.Label1.caption(), "Pressure reduction constant  (inHg):");
    EXPECT_EQ(form.Frame7.caption(), " Pressure Reduction Table Filename");
    EXPECT_EQ(form.cboTableTempUnit.items(),
              (std::vector<std::string>{"    \u00b0C", "    \u00b0F", "    \u00b0R"}));
    EXPECT_EQ(form.Option2[0].caption() + form.Option2[1].caption() + form.Option4[0].caption() +
                  form.Option4[1].caption(), "ShowHideEnableDisable");
}

TEST_F(FormFixture, BoxesTakeOnlyTheirCharactersAndTheDropDownsOnlyTheirListItems) {
    ASSERT_TRUE(form.Form_Load());
    form.EnableFrames();
    for (TextBox* box : {&form.txt12HourTemp, &form.txtPressureReductionConstant}) {
        box->typeText("-12.50123456789.-");
        EXPECT_EQ(ui.beeps, 0) << box->name();
        // Everything else is dropped with a beep, Backspace and Enter included.
        for (int key : std::string("a\b\r +,eE/:")) EXPECT_FALSE(box->type(key)) << box->name() << key;
        EXPECT_EQ(box->text(), "-12.50123456789.-");
        EXPECT_EQ(ui.beeps, 10);
        ui.beeps = 0;
    }
    // A drop-down box takes no typed key, and no beep either.
    for (ComboBox* box : {&form.cboTableTempUnit, &form.Combo1, &form.Combo2, &form.Combo3}) {
        const std::string before = box->text();
        for (int key : std::string("a1 \b\r")) EXPECT_FALSE(box->type(key)) << box->name() << key;
        EXPECT_EQ(box->text(), before);
        EXPECT_TRUE(box->pick(1));
        EXPECT_EQ(box->text(), box->items()[1]);
    }
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace qv
