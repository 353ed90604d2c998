// The lines of a system without pseudo terminals: the model port only.
#include "support/unit_line.h"

namespace qv::test {

std::vector<UnitLineKind> unitLines() { return {modelLine()}; }

}  // namespace qv::test
