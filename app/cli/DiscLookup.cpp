#include "app/cli/DiscLookup.h"

namespace tonvane::cli {

struct LookupEntries {};

bool identifyDisc(const std::string&, DiscIdentity&)
{
    return false;
}

LookupOutcome lookUpDisc(const std::string&, const std::string&, const ConversionJob&)
{
    LookupOutcome outcome;
    outcome.error = "this build has no CDDB client";
    return outcome;
}

void applyMatch(const LookupOutcome&, int32_t, ConversionJob&) {}

} // namespace tonvane::cli
