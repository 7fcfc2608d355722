#include "graph/graph_words.h"

#include "graph/graph_model.h"


namespace wirelux {

std::string confidence_word(double confidence, std::string_view suffix) {
    std::string word = confidence >= 0.8 ? "confirmed" : confidence >= 0.5 ? "likely" : "possible";
    if (!suffix.empty()) {
        word += " · ";
        word += suffix;
    }
    return word;
}

std::string status_from_confidence(double confidence) {
    if (confidence >= 0.8) return kStatusOk;
    if (confidence >= 0.5) return kStatusWarn;
    return {};
}

std::string latency_text(bool measured, std::int64_t milliseconds) {
    if (!measured || milliseconds < 0) return "T/O";
    return std::to_string(milliseconds) + " ms";
}

std::string id_token(std::string_view value) {
    std::string token;
    token.reserve(value.size());
    for (const char c : value) {
        const bool keep =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (keep) {
            token.push_back(c);
        } else if (!token.empty() && token.back() != '_') {
            token.push_back('_'); // nothing at the front, and never two in a row
        }
    }
    if (!token.empty() && token.back() == '_') token.pop_back();
    return token;
}

} // namespace wirelux
