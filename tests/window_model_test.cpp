#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
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

std::vector<Button*> buttons(MainForm& form) {
    std::vector<Button*> result;
    for (Control* c : form.controls())
        if (auto* b = dynamic_cast<Button*>(c)) result.push_back(b);
    return result;
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
    EXPECT_EQ((std::vector<int>{form.Label2.foreColor.red, form.Label2.foreColor.green, form.Label2.foreColor.blue}),
              (std::vector<int>{128, 0, 128}));
    // Frame12 lies above Program Setup: it comes later in the stacking order.
    const auto& all = form.controls();
    EXPECT_GT(std::find(all.begin(), all.end(), &form.Frame12), std::find(all.begin(), all.end(), &form.Frame13));
}

TEST_F(FormFixture, ValueBoxesPassOnlyDigitsMinusAndPoint) {
    form.EnableFrames();
    for (TextBox* box : {&form.txt12HourTemp, &form.txtPressureReductionConstant}) {
        SCOPED_TRACE(box->name());
        ui.beeps = 0;
        box->setText("");
        box->typeText("-12.5");
        box->typeText("0123456789.-");
        EXPECT_EQ(ui.beeps, 0);
        // Everything else is dropped with a beep, Backspace and Enter included.
        for (int key : {int{'a'}, 8, 13, int{' '}, int{'+'}, int{','}, int{'e'}, int{'E'}, int{'/'}, int{':'}})
            EXPECT_FALSE(box->type(key)) << key;
        EXPECT_EQ(box->text(), "-12.50123456789.-");
        EXPECT_EQ(ui.beeps, 10);
    }
}

TEST_F(FormFixture, DropDownBoxesTakeValuesOnlyFromTheirLists) {
    ASSERT_TRUE(form.Form_Load());
    form.EnableFrames();
    for (ComboBox* box : {&form.cboTableTempUnit, &form.Combo1, &form.Combo2, &form.Combo3}) {
        SCOPED_TRACE(box->name());
        const std::string before = box->text();
        for (int key : {int{'a'}, int{'1'}, int{' '}, 8, 13}) EXPECT_FALSE(box->type(key));
        EXPECT_EQ(box->text(), before);
        EXPECT_TRUE(box->pick(1));
        EXPECT_EQ(box->text(), box->items()[1]);
    }
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(FormFixture, DisableAndEnableFramesSwitchTheNineButNotFrame3) {
    Frame* nine[] = {&form.Frame1, &form.Frame2, &form.Frame4, &form.Frame5, &form.Frame7,
                     &form.Frame8, &form.Frame10, &form.Frame12, &form.Frame13};
    for (size_t i = 0; i < std::size(nine); ++i) nine[i]->setEnabled(i % 2 == 0);  // a mixed state
    form.EnableFrames();
    for (Frame* f : nine) EXPECT_TRUE(f->enabled()) << f->name();
    for (Button* b : buttons(form)) EXPECT_TRUE(b->usable()) << b->name();

    form.DisableFrames();
    for (Button* b : buttons(form)) EXPECT_FALSE(b->press()) << b->name();
    for (Control* c : std::initializer_list<Control*>{&form.Option2_0, &form.Option4_0, &form.Combo1,
                                                      &form.txt12HourTemp, &form.Text1})
        EXPECT_FALSE(c->usable()) << c->name();
    // The Communications frame keeps its own flag; an operation that switched
    // it off switches it on again itself.
    EXPECT_TRUE(form.Frame3.enabled());
    form.Frame3.setEnabled(false);
    form.EnableFrames();
    EXPECT_FALSE(form.Frame3.enabled());
    EXPECT_FALSE(form.cmdDetectZov.usable());
}

}  // namespace
}  // namespace qv
