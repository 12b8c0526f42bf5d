#include "app/cli/CliApplication.h"
#include "app/cli/CommandLine.h"
#include "app/window/WindowProgram.h"
#include "core/language/Language.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "core/startup/ProcessEntry.h"
#include "core/ProductConfig.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tonvane;

int main(int argc, char** argv)
{
    processStartup();

    // The stored language wins over the locale once the user has chosen one.
    uint32_t stored;
    if (settings::readDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, stored) &&
        stored >= uint32_t(kEnglish) && stored <= uint32_t(kSpanish))
        setCurrentLanguage(static_cast<LanguageId>(stored));

    std::vector<std::string> arguments(argv + 1, argv + argc);
    cli::ParseResult parsed = cli::parseCommandLine(arguments);
    int code;
    if (!parsed.options) {
        std::fprintf(stderr, "tonvane: %s\n\n%s", parsed.error.c_str(), cli::usageText());
        code = cli::kExitUsage;
    } else if (parsed.options->command == cli::Command::Window) {
        WindowProgramOptions window;
        window.drives = parsed.options->drives;
        window.server = parsed.options->server;
        window.run.cddbServer = parsed.options->server;
        if (parsed.options->musicBrainzServerGiven)
            window.run.musicBrainzServer = parsed.options->musicBrainzServer;
        if (parsed.options->coverArtServerGiven)
            window.run.coverArtServer = parsed.options->coverArtServer;
        window.run.accurateRipServer = parsed.options->accurateRipServer;
        window.run.noAccurateRip = !parsed.options->accurateRip;
        window.outputFolder = parsed.options->outputFolder;
        // For tests: the update check's server ("127.0.0.1:9", a refused port, keeps it local).
        if (const char* host = std::getenv("TONVANE_UPDATE_HOST"); host != nullptr)
            window.updateServer = host;
        code = runWindowProgram(window);
        if (code == kNoDisplay) {
            std::fprintf(stderr, "tonvane: no display answers (DISPLAY is unset or its X server refuses); "
                                 "the window program needs one. The commands below work without it.\n\n%s",
                         cli::usageText());
            code = cli::kExitUsage;
        }
    } else {
        code = cli::runCommandLine(*parsed.options, stdout, stderr);
    }

    processShutdown();
    return code;
}
