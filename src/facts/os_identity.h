#pragma once
// The machine's identity: computer name, operating-system display name, collection time.

#include "platform/clock.h"

#include <optional>
#include <string>
#include <string_view>

namespace wirelux {

struct FactSnapshot;

// "Microsoft Windows 10|11 <edition>" from the CurrentVersion values; empty without a product name.
std::string compose_os_name(std::string_view product_name, std::string_view edition_id, std::string_view build,
                            unsigned ui_language);

// The Chinese display text of an EditionID, when the table has one.
std::optional<std::string> chinese_edition_text(std::string_view edition_id);

// PRETTY_NAME of an os-release text (quotes and escapes removed); empty when there is none.
std::string os_release_pretty_name(std::string_view os_release);

// "YYYY-MM-DD hh:mm:ss"
std::string format_collected_at(const platform::LocalTime& t);

// Fills computer_name, os_name and collected_at.
void collect_identity(FactSnapshot& snapshot);

} // namespace wirelux
