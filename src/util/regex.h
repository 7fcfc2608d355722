#pragma once
// Perl-style regular expressions behind a small value type. This is the only interface to the regex
// engine: its header is heavy to compile, so only regex.cpp includes it.
//
// Patterns behave as in Perl: "^" and "$" anchor at the text's ends unless "(?m)" asks for line mode,
// "." stops at a newline unless "(?s)" is given, alternation is leftmost-first, and "(?i)", named groups
// "(?<name>...)", "\b" and lazy quantifiers work as usual. One difference: outside line mode "$" matches
// only at the very end, not before a final newline. In line mode a CR LF pair counts as one line break.
// Nothing here throws: a pattern that does not compile gives a regex that matches nothing, and a match
// that exhausts the engine's limits counts as no match.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

class RegexMatch;

class Regex {
public:
    struct Compiled;

    // Compile once and keep the object: compilation costs far more than a match.
    explicit Regex(std::string_view pattern);

    // False when the pattern did not compile; such a regex never matches.
    bool valid() const { return compiled_ != nullptr; }

    // True when the pattern matches somewhere in the text.
    bool search(std::string_view text) const;

    // The leftmost match that starts at or after the byte offset from. Text before from stays visible
    // to "\b" and look-behind, and "^" does not match at from itself unless line mode allows it there.
    std::optional<RegexMatch> find(std::string_view text, std::size_t from = 0) const;

    // Every non-overlapping match, left to right.
    std::vector<RegexMatch> find_all(std::string_view text) const;

    // The match of the pattern against the whole text, if it matches all of it.
    std::optional<RegexMatch> match(std::string_view text) const;

    // The text with every match (or only the first) replaced by the format, in which $1..$9, ${12},
    // $& (the whole match) and $+{name} stand for groups; "$$" is a literal dollar sign. The text comes
    // back unchanged when nothing matches.
    std::string replace(std::string_view text, std::string_view format) const;
    std::string replace_first(std::string_view text, std::string_view format) const;

    // Number of capture groups, not counting the whole match.
    std::size_t group_count() const;

    // Index of the named group, or -1.
    int group_index(std::string_view name) const;

private:
    // Copies an engine match into a RegexMatch; defined beside the engine.
    template <class Results> RegexMatch to_match(const Results& results, const char* base) const;

    std::shared_ptr<const Compiled> compiled_;
};

// One match, holding its own copies of the matched texts.
class RegexMatch {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Group 0 is the whole match; a group out of range or that did not take part in the match gives
    // an empty text, npos as position and false from matched.
    bool matched(std::size_t group = 0) const;
    const std::string& group(std::size_t group = 0) const;
    std::size_t position(std::size_t group = 0) const;
    std::size_t length(std::size_t group = 0) const { return this->group(group).size(); }

    bool matched(std::string_view name) const;
    const std::string& group(std::string_view name) const;

    // Number of entries, the whole match included.
    std::size_t size() const { return groups_.size(); }

private:
    friend class Regex;

    struct Group {
        std::string text;
        std::size_t position = npos;
        bool matched = false;
    };

    std::size_t index_of(std::string_view name) const;

    std::vector<Group> groups_;
    std::shared_ptr<const Regex::Compiled> compiled_; // answers name look-ups
};

} // namespace wirelux
