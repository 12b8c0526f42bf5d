#include "core/foundation/Foundation.h"

namespace tonvane {

int ExitCallbackList::add(ExitCallback callback)
{
    std::lock_guard lock(m_lock);
    if (m_count >= kCapacity)
        return 1;
    m_callbacks[m_count++] = callback;
    return 0;
}

void ExitCallbackList::runAll()
{
    std::lock_guard lock(m_lock);
    for (size_t i = 0; i < m_count; ++i)
        if (m_callbacks[i])
            m_callbacks[i]();
    m_count = 0;
}

size_t ExitCallbackList::size() const
{
    std::lock_guard lock(m_lock);
    return m_count;
}

namespace {
ExitCallbackList& processExitCallbacks()
{
    static ExitCallbackList list;
    return list;
}

template <size_t N>
void runTable(const StartupInitialiser (&table)[N])
{
    for (auto entry : table)
        if (entry)
            entry();
}
} // namespace

int registerExitCallback(ExitCallback callback)
{
    return processExitCallbacks().add(callback);
}

void foundationStartup()
{
    runTable(kStartupInitialisers);
}

void foundationExit()
{
    processExitCallbacks().runAll();
    runTable(kFirstCleanups);
    runTable(kSecondCleanups);
}

} // namespace tonvane
