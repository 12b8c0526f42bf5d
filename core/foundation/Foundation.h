#pragma once
#include <cstddef>
#include <mutex>

namespace tonvane {

using ExitCallback = void (*)();
using StartupInitialiser = void (*)();

// At most 64 parameterless functions run at process exit in registration order.
class ExitCallbackList {
public:
    static constexpr size_t kCapacity = 64;

    // 0 when registered, 1 when the list is full (nothing registered).
    int add(ExitCallback callback);
    // Runs every callback, first registered first, and empties the list.
    void runAll();
    size_t size() const;

private:
    mutable std::recursive_mutex m_lock; // recursive: a callback may register another
    ExitCallback m_callbacks[kCapacity] = {};
    size_t m_count = 0;
};

inline constexpr size_t kStartupInitialiserCount = 31;
inline constexpr size_t kFirstCleanupCount = 4;
inline constexpr size_t kSecondCleanupCount = 2;

// The process-wide list used by every subsystem.
int registerExitCallback(ExitCallback callback);

// Start-up: runs the 31-entry initialiser table in order (empty entries skipped).
void foundationStartup();
// Exit: the registered callbacks in order, then the 4 and the 2 fixed clean-up functions.
void foundationExit();

// The tables themselves, filled in core/foundation/StartupTables.cpp.
extern StartupInitialiser const kStartupInitialisers[kStartupInitialiserCount];
extern ExitCallback const kFirstCleanups[kFirstCleanupCount];
extern ExitCallback const kSecondCleanups[kSecondCleanupCount];

} // namespace tonvane
