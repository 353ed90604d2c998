// The window's design as both real windows (Qt on Linux, native on Windows)
// must show it: each control's container and its rectangle there, in pixels
// of the design's 96 DPI.
#pragma once

#include <ostream>

#include "platform/controls.h"

namespace qv::test {

// The design's position of each control in its container ("" for the window).
struct Placement {
    const char* name;
    const char* container;
    Rect rect;
};
inline void PrintTo(const Placement& p, std::ostream* os) { *os << p.name; }

inline const Placement Design[] = {
    {"Frame10", "", {364, 10, 411, 169}}, {"cmdReadCurrentValues", "Frame10", {10, 32, 115, 47}},
    {"txt12HourTemp", "Frame10", {328, 36, 71, 19}}, {"cmdWriteValues", "Frame10", {10, 96, 115, 51}},
    {"cboTableTempUnit", "Frame10", {328, 76, 71, 21}}, {"txtPressureReductionConstant", "Frame10", {328, 118, 71, 19}},
    {"Label13", "Frame10", {180, 38, 143, 17}}, {"Label14", "Frame10", {146, 80, 175, 17}},
    {"Label1", "Frame10", {148, 120, 177, 17}}, {"Frame4", "", {6, 184, 769, 217}},
    {"Frame5", "Frame4", {386, 20, 375, 187}}, {"List2", "Frame5", {92, 18, 275, 160}},
    {"Command4", "Frame5", {6, 50, 79, 43}}, {"Command2", "Frame5", {6, 106, 79, 43}},
    {"Frame8", "Frame4", {8, 20, 375, 187}}, {"List1", "Frame8", {92, 16, 275, 160}},
    {"Command10", "Frame8", {6, 26, 79, 43}}, {"Frame1", "Frame8", {6, 128, 79, 53}},
    {"Option2(0)", "Frame1", {14, 32, 49, 17}}, {"Option2(1)", "Frame1", {14, 16, 49, 17}},
    {"Command1", "Frame8", {6, 78, 79, 43}}, {"Frame2", "", {6, 408, 771, 81}},
    {"ProgressBar1", "Frame2", {12, 24, 749, 17}}, {"Label2", "Frame2", {12, 48, 749, 25}},
    {"Frame13", "", {6, 10, 355, 169}}, {"Frame3", "Frame13", {8, 22, 335, 65}},
    {"cmdDetectZov", "Frame3", {212, 24, 103, 25}}, {"Combo1", "Frame3", {10, 32, 47, 21}},
    {"Combo2", "Frame3", {66, 32, 71, 21}}, {"Combo3", "Frame3", {146, 32, 47, 21}},
    {"Label16", "Frame3", {146, 16, 41, 17}}, {"Label15", "Frame3", {66, 16, 27, 17}},
    {"Label8", "Frame3", {10, 16, 27, 17}}, {"Frame7", "Frame13", {8, 94, 335, 65}},
    {"Text1", "Frame7", {82, 28, 241, 19}}, {"Command7", "Frame7", {10, 22, 61, 27}},
    {"Label7", "Frame7", {82, 12, 169, 17}}, {"Frame12", "", {108, 24, 193, 65}},
    {"Command12", "Frame12", {112, 24, 65, 25}}, {"Option4(1)", "Frame12", {40, 40, 65, 17}},
    {"Option4(0)", "Frame12", {40, 16, 57, 17}}};

// The status line's colour: purple.
inline constexpr Color StatusColour{128, 0, 128};

}  // namespace qv::test
