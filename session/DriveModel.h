#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace tonvane {

// Vendor and product of the drive (INQUIRY bytes 8-15 and 16-31), trimmed; empty when it does
// not answer.
std::string driveModel(const std::string& path);

// The read offset [samples] stored for a drive model under \Drives\<model> "ReadOffset", when
// one within -2939..2939 is there.
std::optional<int32_t> storedReadOffset(const std::string& model);
void storeReadOffset(const std::string& model, int32_t offset);

} // namespace tonvane
