#pragma once
// The numbered plain-text summary printed on standard output at the end of a run.

#include "model/snapshot.h"
#include "share/redaction.h"

#include <cstdint>
#include <functional>
#include <string>

namespace wirelux {

// The full image path of a process, asked at print time; empty when it cannot be opened or has ended.
using ImagePathLookup = std::function<std::string(std::uint32_t pid)>;

// The whole summary text. Everything comes from the snapshot except the image paths of section 7.
std::string build_console_summary(const FactSnapshot& snapshot, const ImagePathLookup& image_path_of);

// Builds the summary with the live process query, whose image paths pass through the run's redaction,
// and writes it to standard output.
void print_console_summary(const FactSnapshot& snapshot, Redaction& redaction);

} // namespace wirelux
