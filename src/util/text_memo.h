#pragma once
// Remembers a question's answer for each distinct text it was asked about. A busy machine's socket
// tables repeat a few hundred address texts over a hundred thousand rows, so a question about an
// address (parse, normalise, look up) is worth answering once per text. Texts are held by view: they
// must outlive the memo, as the rows of a snapshot outlive one pass over them.

#include <functional>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace wirelux {

template <typename Answer>
class TextMemo {
public:
    explicit TextMemo(std::function<Answer(std::string_view)> ask) : ask_(std::move(ask)) {}

    // The reference stays valid for the memo's lifetime: the map's nodes never move.
    const Answer& operator()(std::string_view text) {
        if (const auto found = answers_.find(text); found != answers_.end()) return found->second;
        return answers_.emplace(text, ask_(text)).first->second; // an answer that throws is not kept
    }

private:
    std::function<Answer(std::string_view)> ask_;
    std::unordered_map<std::string_view, Answer> answers_;
};

} // namespace wirelux
