#include "windowing/loop/Invocation.h"

namespace tonvane {

int64_t Invocation::run(uint64_t, int64_t lParam)
{
    auto* record = reinterpret_cast<Invocation*>(lParam);
    int64_t result = record->work ? record->work() : 0;
    if (record->reply)
        record->reply->set_value(result);
    delete record;
    return result;
}

void Invocation::abandon(int64_t lParam)
{
    auto* record = reinterpret_cast<Invocation*>(lParam);
    if (record == nullptr)
        return;
    if (record->reply)
        record->reply->set_value(std::nullopt);
    delete record;
}

} // namespace tonvane
