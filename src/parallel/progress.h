#pragma once
// The progress meter: one carriage-return-redrawn line on standard error, fed from any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace wirelux {

inline constexpr std::uint64_t kProgressInitialTotal = 14;
inline constexpr std::size_t kProgressLineWidth = 100;

// Creates the process-wide meter (total 14, done 0). Later calls change nothing.
void progress_init(bool enabled);

// One unit of work finished. Does nothing before progress_init.
void progress_tick(std::string_view label);

// Adds n units to the total. Does nothing before progress_init.
void progress_add_total(std::uint64_t n);

struct ProgressCounters {
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    bool enabled = false;
};

// The meter's current counters; all zero before progress_init.
ProgressCounters progress_counters();

// Writes "\r", 100 spaces and "\r" when the meter is enabled.
void progress_erase();

// The meter line for the counters, without the leading carriage return.
std::string progress_line(std::uint64_t done, std::uint64_t total, std::string_view label);

// The standard-error lock: every write to standard error takes it, so lines never interleave.
void write_stderr_locked(std::string_view bytes);

} // namespace wirelux
