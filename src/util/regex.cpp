#include "util/regex.h"

#include <boost/regex.hpp>

#include <iterator>

namespace wirelux {

// The C++ locale traits behave the same on both toolchains; the Windows traits would make case folding
// depend on the user's locale.
using Engine = boost::basic_regex<char, boost::cpp_regex_traits<char>>;
using Results = boost::match_results<const char*>;
using Iterator = boost::regex_iterator<const char*, char, boost::cpp_regex_traits<char>>;

struct Regex::Compiled {
    Engine engine;
};

namespace {

// Boost's own defaults let "^"/"$" match at every line break and "." match a newline; both are turned
// back to Perl's behaviour, which the inline (?m) and (?s) switch on where a pattern wants them.
constexpr auto kSyntax = boost::regex_constants::perl | boost::regex_constants::no_mod_m |
                         boost::regex_constants::no_mod_s | boost::regex_constants::no_except;

const std::string& empty_text() {
    static const std::string empty;
    return empty;
}

// A default-constructed string_view may carry a null pointer; the engine wants a real range.
const char* begin_of(std::string_view text) {
    return text.data() != nullptr ? text.data() : "";
}

} // namespace

Regex::Regex(std::string_view pattern) {
    try {
        auto compiled = std::make_shared<Compiled>();
        const char* first = begin_of(pattern);
        compiled->engine.assign(first, first + pattern.size(), kSyntax);
        if (compiled->engine.status() == 0 && !compiled->engine.empty()) compiled_ = std::move(compiled);
    } catch (const std::exception&) {
        compiled_.reset();
    }
}

template <class Results> RegexMatch Regex::to_match(const Results& results, const char* base) const {
    RegexMatch match;
    match.compiled_ = compiled_;
    match.groups_.resize(results.size());
    for (std::size_t k = 0; k < results.size(); ++k) {
        const auto& sub = results[k];
        if (!sub.matched) continue;
        RegexMatch::Group& group = match.groups_[k];
        group.matched = true;
        group.text.assign(sub.first, sub.second);
        group.position = static_cast<std::size_t>(sub.first - base);
    }
    return match;
}

bool Regex::search(std::string_view text) const {
    if (!compiled_) return false;
    try {
        const char* first = begin_of(text);
        return boost::regex_search(first, first + text.size(), compiled_->engine);
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<RegexMatch> Regex::find(std::string_view text, std::size_t from) const {
    if (!compiled_ || from > text.size()) return std::nullopt;
    try {
        const char* base = begin_of(text);
        auto flags = boost::match_default;
        if (from > 0) flags |= boost::match_prev_avail | boost::match_not_bob; // from is not the text's start
        Results results;
        if (!boost::regex_search(base + from, base + text.size(), results, compiled_->engine, flags))
            return std::nullopt;
        return to_match(results, base);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::vector<RegexMatch> Regex::find_all(std::string_view text) const {
    std::vector<RegexMatch> matches;
    if (!compiled_) return matches;
    try {
        const char* base = begin_of(text);
        for (Iterator it(base, base + text.size(), compiled_->engine), end; it != end; ++it) {
            matches.push_back(to_match(*it, base));
        }
    } catch (const std::exception&) {
        // The matches found before the engine gave up are still real matches.
    }
    return matches;
}

std::optional<RegexMatch> Regex::match(std::string_view text) const {
    if (!compiled_) return std::nullopt;
    try {
        const char* base = begin_of(text);
        Results results;
        if (!boost::regex_match(base, base + text.size(), results, compiled_->engine)) return std::nullopt;
        return to_match(results, base);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

namespace {

std::string replace_with(const Engine* engine, std::string_view text, std::string_view format,
                         boost::regex_constants::match_flag_type flags) {
    if (engine == nullptr) return std::string(text);
    try {
        const char* first = begin_of(text);
        std::string out;
        out.reserve(text.size());
        boost::regex_replace(std::back_inserter(out), first, first + text.size(), *engine,
                             std::string(format), flags);
        return out;
    } catch (const std::exception&) {
        return std::string(text);
    }
}

} // namespace

std::string Regex::replace(std::string_view text, std::string_view format) const {
    return replace_with(compiled_ ? &compiled_->engine : nullptr, text, format, boost::format_perl);
}

std::string Regex::replace_first(std::string_view text, std::string_view format) const {
    return replace_with(compiled_ ? &compiled_->engine : nullptr, text, format,
                        boost::format_perl | boost::format_first_only);
}

std::size_t Regex::group_count() const {
    return compiled_ ? compiled_->engine.mark_count() : 0;
}

int Regex::group_index(std::string_view name) const {
    if (!compiled_ || name.empty()) return -1;
    const auto names = compiled_->engine.get_named_subs();
    if (!names) return -1;
    return names->get_id(name.data(), name.data() + name.size());
}

bool RegexMatch::matched(std::size_t group) const {
    return group < groups_.size() && groups_[group].matched;
}

const std::string& RegexMatch::group(std::size_t group) const {
    return group < groups_.size() ? groups_[group].text : empty_text();
}

std::size_t RegexMatch::position(std::size_t group) const {
    return group < groups_.size() ? groups_[group].position : npos;
}

std::size_t RegexMatch::index_of(std::string_view name) const {
    if (!compiled_ || name.empty()) return npos;
    const auto names = compiled_->engine.get_named_subs();
    if (!names) return npos;
    // With a name used twice, the group that took part in the match is the one meant.
    const auto range = names->equal_range(name.data(), name.data() + name.size());
    if (range.first == range.second) return npos;
    for (auto it = range.first; it != range.second; ++it) {
        const auto index = static_cast<std::size_t>(it->index);
        if (matched(index)) return index;
    }
    return static_cast<std::size_t>(range.first->index);
}

bool RegexMatch::matched(std::string_view name) const {
    return matched(index_of(name));
}

const std::string& RegexMatch::group(std::string_view name) const {
    return group(index_of(name));
}

} // namespace wirelux
