#include "core/foundation/ErrorCode.h"

#include <cerrno>

namespace tonvane {

ErrorCode lastError()
{
    return errorFromSystem(static_cast<uint32_t>(errno));
}

} // namespace tonvane
