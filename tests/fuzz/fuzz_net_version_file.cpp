// Version file parser and version test on arbitrary server text.
#include "net/update/UpdateDownload.h"
#include "net/update/VersionFile.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tonvane;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto info = parseVersionFile(text, "Linux", "0.2.7")) {
        if (info->versionText.find('\n') != std::string::npos || info->downloadUrl.find('\n') != std::string::npos)
            std::abort();
        std::string host, path;
        if (splitDownloadUrl(info->downloadUrl, host, path) && (host.empty() || path.empty() || path[0] != '/'))
            std::abort();
        std::string name = downloadFileName(info->downloadUrl);
        if (name.find('/') != std::string::npos || name == "..")
            std::abort();
    }
    isNewerVersion(text, "0.2.7");
    isNewerVersion("0.2.7", text);
    return 0;
}
