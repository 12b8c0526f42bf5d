#include "app/cli/TestFaults.h"

#include "cdrom/emulated/DemoDisc.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace tonvane::cli {

namespace {
bool parseNumber(std::string_view text, uint32_t& value)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}
} // namespace

void applyTestFaults()
{
    const char* setting = std::getenv("TONVANE_TEST_FAULTS");
    if (!setting || !*setting)
        return;
    EmulatedFaults faults;
    std::string_view rest(setting);
    while (!rest.empty()) {
        std::string_view item = rest.substr(0, rest.find(';'));
        rest.remove_prefix(item.size() < rest.size() ? item.size() + 1 : item.size());
        std::string_view values = item.substr(item.find(':') == std::string_view::npos ? item.size() : item.find(':') + 1);
        if (item.rfind("read:", 0) == 0) {
            while (!values.empty()) {
                std::string_view number = values.substr(0, values.find(','));
                values.remove_prefix(number.size() < values.size() ? number.size() + 1 : number.size());
                uint32_t lba;
                if (parseNumber(number, lba))
                    faults.readFaults.push_back({lba, kPermanentFault});
            }
        } else if (item.rfind("speed:", 0) == 0) {
            parseNumber(values, faults.sectorsPerSecond);
        } else if (item.rfind("corrupt:", 0) == 0) {
            // LBA or LBAxN: damaged on the first N reads (without N: on every read).
            while (!values.empty()) {
                std::string_view entry = values.substr(0, values.find(','));
                values.remove_prefix(entry.size() < values.size() ? entry.size() + 1 : entry.size());
                size_t times = entry.find('x');
                CorruptFault fault;
                if (!parseNumber(entry.substr(0, times), fault.lba))
                    continue;
                if (times != std::string_view::npos && !parseNumber(entry.substr(times + 1), fault.reads))
                    continue;
                faults.corruptions.push_back(fault);
            }
        } else if (item.rfind("cache:", 0) == 0) {
            parseNumber(values, faults.cacheSectors);
        } else if (item.rfind("remove:", 0) == 0) {
            uint32_t sectors = 0;
            if (parseNumber(values, sectors))
                faults.removeAfterSectors = sectors;
        }
    }
    setDemoFaults(faults);
}

} // namespace tonvane::cli
