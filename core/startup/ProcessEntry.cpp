#include "core/startup/ProcessEntry.h"

#include "core/foundation/Foundation.h"
#include "core/language/Language.h"
#include "core/startup/LastResortHandler.h"

#include <csignal>

namespace tonvane {

void processStartup()
{
    foundationStartup(); // fills the language slots among others
    setCurrentLanguage(languageFromLocale());
    installLastResortHandler();
    // A peer that closes its socket must give us EPIPE, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
}

void processShutdown()
{
    foundationExit();
}

} // namespace tonvane
