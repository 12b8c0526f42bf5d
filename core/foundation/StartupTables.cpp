#include "core/foundation/Foundation.h"
#include "core/language/Language.h"

namespace tonvane {

// Global objects of the subsystems are constructed here in order, and torn down by the two
// clean-up tables after the registered exit callbacks. Unused entries stay empty.
StartupInitialiser const kStartupInitialisers[kStartupInitialiserCount] = {
    fillLanguageSlots,
};

ExitCallback const kFirstCleanups[kFirstCleanupCount] = {};
ExitCallback const kSecondCleanups[kSecondCleanupCount] = {};

} // namespace tonvane
