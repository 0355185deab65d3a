// A terminal driver whose terminal is a script, for tests of the windows
// and workflows above the drivers.
#pragma once

#include <string>
#include <vector>

#include "exchange/BaseTolvane.h"

namespace tolvane::test {

// What the fake terminal holds and how it behaves; one per test.
struct FakeTerminal {
    std::vector<std::string> document;  // key=quantity lines the driver delivers
    bool failCreate = false;
    std::string deleteError;
    std::string writeError;
    int deletes = 0, reads = 0, writes = 0, destroyed = 0;
    int writtenRecordCount = -1;
};

// The terminal the fake drivers talk to; a test points it at its own.
extern FakeTerminal* terminal;

// The class reference of the fake driver, for any firmware.
TBaseTolvaneClass FakeClass(int32_t programType);

}  // namespace tolvane::test
