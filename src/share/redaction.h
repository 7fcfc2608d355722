#pragma once
// Redaction for sharing a run (--redact): one pass over the finished fact snapshot that replaces the
// values identifying the machine and its user by stable stand-ins, before the graph is built and the
// report rendered, so that the graph, the tables, the console and the JSON facts agree with each other.
// Texts the run takes after the snapshot (the Wi-Fi status, image paths asked at print time) go through
// the same table, so a value gets the same stand-in wherever it shows.

#include "model/snapshot.h"

#include <memory>
#include <string>
#include <string_view>

namespace wirelux {

class PseudonymTable;

class Redaction {
public:
    // Off: every text passes unchanged.
    Redaction();
    ~Redaction();
    Redaction(Redaction&&) noexcept;
    Redaction& operator=(Redaction&&) noexcept;

    // Learns the identifying values of the finished snapshot and replaces them in it, in place.
    static Redaction of(FactSnapshot& snapshot);

    bool active() const { return table_ != nullptr; }

    // The text with every identifying value replaced as in the snapshot; new values found in it (a user
    // folder, a secret option) get stand-ins of their own, kept for the rest of the run.
    std::string text(std::string_view text);

private:
    std::unique_ptr<PseudonymTable> table_;
};

} // namespace wirelux
