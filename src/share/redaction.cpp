#include "share/redaction.h"

#include "model/address_tests.h"
#include "share/snapshot_fields.h"
#include "util/ip_text.h"
#include "util/regex.h"
#include "util/text.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace wirelux {

namespace {

// How a stand-in is formed. N counts the distinct values of its kind from 1, in the order they are met.
enum class Kind : std::size_t {
    host,    // "host-N"
    user,    // "user-N": a login name or a user folder, one numbering for both
    secret,  // "secret-N"
    mac,     // the maker's prefix (first three bytes) kept, then "xx" bytes and N: "02-57-4C-xx-xx-01"
    address, // IPv4: 192.0.2.N, a documentation address no real host has; IPv6: the upper 64 bits kept
             // and the interface identifier replaced by 200:5eff:fe00:N, which RFC 5453 reserves
};
constexpr std::size_t kKindCount = 5;

using LearnFn = std::vector<std::string> (*)(const FactSnapshot&);

// What is replaced. A row either learns values from the snapshot's own fields, which are then replaced
// as whole words wherever they occur, or finds them in any text by a pattern whose group "v" is the
// value. Anything no row names stays as it is: IPv4 addresses other than the login's online address,
// gateways, resolvers, the fixed probe targets, ports, process and adapter names, verdicts, scores
// and times.
struct Rule {
    std::string_view what;
    Kind kind;
    LearnFn learn;            // null for a pattern row
    std::string_view pattern; // empty for a learning row
    std::string_view hints;   // "|"-separated lower-case texts, one of which every match contains
};

// Option and key names that name a secret; a key of the snapshot itself that does (the proxy core's
// controller secret) has its whole value replaced.
constexpr std::string_view kSecretWords = "secret|token|passw";
#define WIRELUX_SECRET_NAME "[a-z0-9_.-]*(?:secret|token|passw(?:or)?d)[a-z0-9_.-]*"

std::vector<std::string> learn_computer_name(const FactSnapshot&);
std::vector<std::string> learn_login_user(const FactSnapshot&);
std::vector<std::string> learn_online_address(const FactSnapshot&);
std::vector<std::string> learn_own_ipv6(const FactSnapshot&);
std::vector<std::string> learn_core_secrets(const FactSnapshot&);
std::vector<std::string> learn_bare_macs(const FactSnapshot&);

const Rule kRules[] = {
    {"computer name", Kind::host, learn_computer_name, "", ""},
    {"campus login user name", Kind::user, learn_login_user, "", ""},
    {"campus login online address", Kind::address, learn_online_address, "", ""},
    {"own IPv6 address, global or with a MAC-derived link-local identifier", Kind::address, learn_own_ipv6,
     "", ""},
    {"proxy core controller secret", Kind::secret, learn_core_secrets, "", ""},
    {"own MAC written without separators, as in a USB adapter's serial number", Kind::mac, learn_bare_macs,
     "", ""},
    {"password in a URL", Kind::secret, nullptr,
     R"re((?i)(?<![a-z0-9+.-])[a-z][a-z0-9+.-]*://[^\s/@:"']*:(?<v>[^\s/@"']+)@)re", "://"},
    {"value of a command-line option naming a secret, password or token", Kind::secret, nullptr,
     R"re((?i)(?:^|(?<=[\s"']))(?:--?|/))re" WIRELUX_SECRET_NAME
     R"re(\s+(?<v>"[^"]*"|'[^']*'|(?!-)[^\s"']+))re",
     kSecretWords},
    {"value of an option or configuration key naming a secret, password or token", Kind::secret, nullptr,
     R"re((?i)(?<![a-z0-9_.-])["']?)re" WIRELUX_SECRET_NAME
     R"re(["']?[ \t]*[:=][ \t]*(?<v>"[^"]*"|'[^']*'|[^\s"',;&}\]]+))re",
     kSecretWords},
    {"user folder in a Windows path", Kind::user, nullptr,
     R"re((?i)(?<![a-z])[a-z]:(?:\\{1,2}|/)(?:users|documents and settings)(?:\\{1,2}|/))re"
     R"re((?<v>[^\\/:*?"<>|\r\n\t]+?(?=\\)|[^\\/:*?"<>|\s]+))re",
     "users|documents and settings"},
    {"home folder in a Unix path", Kind::user, nullptr,
     R"re((?i)(?:\\{1,2}|/)home(?:\\{1,2}|/)(?<v>[^\\/\s:*?"'<>|]+))re", "home"},
    {"MAC address", Kind::mac, nullptr,
     R"re((?<![0-9A-Fa-f:-])(?<v>[0-9A-Fa-f]{2}([-:])[0-9A-Fa-f]{2}(?:\2[0-9A-Fa-f]{2}){4,18})(?![0-9A-Fa-f]|[-:][0-9A-Fa-f]))re",
     "-|:"},
};
#undef WIRELUX_SECRET_NAME

// Folders under the users directory that belong to no one.
constexpr std::string_view kSharedFolders[] = {"public", "default", "default user", "all users"};

// Learned values shorter than this are too likely to be part of unrelated text to be replaced as words;
// the field a secret comes from is replaced whatever its length.
constexpr std::size_t kMinSecretWord = 6;

bool contains_any(std::string_view lower_text, std::string_view hints) {
    while (!hints.empty()) {
        const std::size_t bar = hints.find('|');
        if (lower_text.find(hints.substr(0, bar)) != std::string_view::npos) return true;
        if (bar == std::string_view::npos) break;
        hints.remove_prefix(bar + 1);
    }
    return false;
}

bool names_a_secret(std::string_view key) {
    return contains_any(to_lower_ascii(key), kSecretWords);
}

bool is_alnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_hex(char c) {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Which neighbouring characters make a learned value part of a longer word, so that it is left alone.
enum class WordClass { name, number, ipv6 };

WordClass word_class(std::string_view value, Kind kind) {
    if (kind == Kind::address && value.find(':') != std::string_view::npos) return WordClass::ipv6;
    const bool numeric =
        std::all_of(value.begin(), value.end(), [](char c) { return is_digit(c) || c == '.'; });
    return numeric ? WordClass::number : WordClass::name;
}

bool joins_before(std::string_view text, std::size_t at, WordClass cls) {
    if (at == 0) return false;
    const char c = text[at - 1];
    switch (cls) {
    case WordClass::name:
        return is_alnum(c) || c == '_' || c == '-' || static_cast<unsigned char>(c) >= 0x80;
    case WordClass::number:
        return is_alnum(c) || c == '.';
    case WordClass::ipv6:
        return is_hex(c) || c == ':' || c == '.';
    }
    return false;
}

bool joins_after(std::string_view text, std::size_t at, WordClass cls) {
    if (at >= text.size()) return false;
    const char c = text[at];
    const bool next_digit = at + 1 < text.size() && is_digit(text[at + 1]);
    const bool next_hex = at + 1 < text.size() && is_hex(text[at + 1]);
    switch (cls) {
    case WordClass::name:
        return is_alnum(c) || c == '_' || c == '-' || static_cast<unsigned char>(c) >= 0x80;
    case WordClass::number:
        return is_alnum(c) || (c == '.' && next_digit);
    case WordClass::ipv6:
        return is_hex(c) || (c == ':' && next_hex) || (c == '.' && next_digit);
    }
    return false;
}

// Upper-case hexadecimal, at least two digits.
std::string hex_digits(std::size_t n) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kHex[n & 0xF]);
        n >>= 4;
    } while (n != 0 || out.size() < 2);
    return out;
}

std::string mac_stand_in(std::string_view mac, std::size_t n) {
    if (mac.size() < 3 || is_hex(mac[2])) return std::string(mac.substr(0, 6)) + "xxxx" + hex_digits(n);
    const char separator = mac[2];
    const std::size_t bytes = (mac.size() + 1) / 3;
    std::string out(mac.substr(0, 8));
    for (std::size_t i = 3; i + 1 < bytes; ++i) {
        out += separator;
        out += "xx";
    }
    out += separator;
    out += hex_digits(n);
    return out;
}

// Addresses of the three documentation ranges, 254 to each.
std::string documentation_address(std::size_t n) {
    static constexpr std::string_view kRanges[] = {"192.0.2.", "198.51.100.", "203.0.113."};
    const std::size_t range = ((n - 1) / 254) % 3;
    return std::string(kRanges[range]) + std::to_string((n - 1) % 254 + 1);
}

std::string address_stand_in(std::string_view address, std::size_t n) {
    const std::size_t zone = address.find('%');
    const auto parsed = parse_ip(address.substr(0, zone));
    if (!parsed || !parsed->is_v6) return documentation_address(n);
    IpAddress out = *parsed;
    // RFC 5453 reserves 0200:5EFF:FE00:0000-5212 as identifiers no interface is given.
    constexpr std::array<std::uint8_t, 6> kReserved = {0x02, 0x00, 0x5E, 0xFF, 0xFE, 0x00};
    std::copy(kReserved.begin(), kReserved.end(), out.bytes.begin() + 8);
    out.bytes[14] = static_cast<std::uint8_t>((n >> 8) & 0x3F);
    out.bytes[15] = static_cast<std::uint8_t>(n & 0xFF);
    return format_ip(out) + std::string(zone == std::string_view::npos ? "" : address.substr(zone));
}

std::string value_key(Kind kind, std::string_view value) {
    switch (kind) {
    case Kind::host:
    case Kind::user:
        return to_lower_ascii(value);
    case Kind::address:
        return to_lower_ascii(value.substr(0, value.find('%')));
    case Kind::mac: {
        std::string digits;
        for (const char c : value)
            if (is_hex(c)) digits += c;
        return to_lower_ascii(digits);
    }
    case Kind::secret:
        break;
    }
    return std::string(value);
}

bool kept(Kind kind, std::string_view value) {
    if (value.empty()) return true;
    if (kind == Kind::mac) return value.find_first_not_of("0-:") == std::string_view::npos;
    if (kind == Kind::user) {
        const std::string lower = to_lower_ascii(value);
        return std::find(std::begin(kSharedFolders), std::end(kSharedFolders), lower) !=
               std::end(kSharedFolders);
    }
    return false;
}

struct CompiledRule {
    const Rule* rule;
    Regex pattern;
    std::size_t value_group;
};

const std::vector<CompiledRule>& pattern_rules() {
    static const std::vector<CompiledRule> compiled = [] {
        std::vector<CompiledRule> out;
        for (const Rule& rule : kRules) {
            if (rule.learn) continue;
            Regex pattern(rule.pattern);
            const int group = pattern.group_index("v");
            out.push_back({&rule, std::move(pattern), static_cast<std::size_t>(group)});
        }
        return out;
    }();
    return compiled;
}

} // namespace

// The stand-ins of one run, and the learned values replaced as words in every text.
class PseudonymTable {
public:
    // The stand-in follows the way this occurrence is written (a MAC's separators and case, an
    // address's zone); its number is the value's for the whole run.
    std::string stand_in(Kind kind, std::string_view value) {
        const auto index = static_cast<std::size_t>(kind);
        auto [it, added] = numbers_.try_emplace({index, value_key(kind, value)}, 0);
        if (added) it->second = ++counts_[index];
        const std::size_t n = it->second;
        switch (kind) {
        case Kind::host:
            return "host-" + std::to_string(n);
        case Kind::user:
            return "user-" + std::to_string(n);
        case Kind::secret:
            return "secret-" + std::to_string(n);
        case Kind::mac:
            return mac_stand_in(value, n);
        case Kind::address:
            return address_stand_in(value, n);
        }
        return {};
    }

    void learn(Kind kind, std::string_view value) {
        if (kept(kind, value)) return;
        const std::string lower = to_lower_ascii(value);
        for (const Word& word : words_)
            if (word.lower == lower) return;
        words_.push_back({lower, stand_in(kind, value), word_class(value, kind)});
        // Longer words first, so that a value containing another is replaced whole.
        std::stable_sort(words_.begin(), words_.end(),
                         [](const Word& a, const Word& b) { return a.lower.size() > b.lower.size(); });
    }

    std::string text(std::string_view text) {
        if (text.empty()) return {};
        std::string out(text);
        std::string lower = to_lower_ascii(out);
        for (const CompiledRule& compiled : pattern_rules()) {
            if (!contains_any(lower, compiled.rule->hints)) continue;
            std::string replaced = replace_pattern(out, compiled);
            if (replaced == out) continue;
            out = std::move(replaced);
            lower = to_lower_ascii(out);
        }
        return replace_words(out, lower);
    }

private:
    struct Word {
        std::string lower;
        std::string stand_in;
        WordClass cls;
    };

    std::string replace_pattern(const std::string& text, const CompiledRule& compiled) {
        std::string out;
        std::size_t copied = 0;
        for (const RegexMatch& m : compiled.pattern.find_all(text)) {
            std::size_t at = m.position(compiled.value_group);
            std::string value = m.group(compiled.value_group);
            // A quoted value keeps its quotes.
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
                ++at;
            }
            if (kept(compiled.rule->kind, value)) continue;
            out.append(text, copied, at - copied);
            out += stand_in(compiled.rule->kind, value);
            copied = at + value.size();
        }
        out.append(text, copied);
        return out;
    }

    std::string replace_words(const std::string& text, const std::string& lower) const {
        const bool any = std::any_of(words_.begin(), words_.end(),
                                     [&](const Word& w) { return lower.find(w.lower) != std::string::npos; });
        if (!any) return text;
        std::string out;
        std::size_t copied = 0;
        for (std::size_t i = 0; i < text.size();) {
            const Word* hit = nullptr;
            for (const Word& word : words_) {
                if (lower.compare(i, word.lower.size(), word.lower) == 0 &&
                    !joins_before(text, i, word.cls) && !joins_after(text, i + word.lower.size(), word.cls)) {
                    hit = &word;
                    break;
                }
            }
            if (!hit) {
                ++i;
                continue;
            }
            out.append(text, copied, i - copied);
            out += hit->stand_in;
            i += hit->lower.size();
            copied = i;
        }
        out.append(text, copied);
        return out;
    }

    std::map<std::pair<std::size_t, std::string>, std::size_t> numbers_;
    std::array<std::size_t, kKindCount> counts_{};
    std::vector<Word> words_;
};

namespace {

std::vector<std::string> learn_computer_name(const FactSnapshot& snapshot) {
    // "localhost" names no machine in particular.
    if (is_loopback_host(snapshot.computer_name)) return {};
    return {snapshot.computer_name};
}

std::vector<std::string> learn_login_user(const FactSnapshot& snapshot) {
    return {std::string(trim(snapshot.campus.login.user_name))};
}

std::vector<std::string> learn_online_address(const FactSnapshot& snapshot) {
    return {std::string(trim(snapshot.campus.login.online_ip))};
}

std::vector<std::string> learn_own_ipv6(const FactSnapshot& snapshot) {
    // A gateway or resolver that happens to be written like an own address stays readable.
    std::set<std::string> infrastructure;
    for (const AdapterInfo& adapter : snapshot.adapters) {
        for (const std::string& gateway : adapter.gateways)
            infrastructure.insert(normalised_address(gateway));
        for (const std::string& resolver : adapter.dns_servers)
            infrastructure.insert(normalised_address(resolver));
    }
    std::vector<std::string> out;
    for (const AdapterInfo& adapter : snapshot.adapters) {
        for (const IfAddress& address : adapter.ipv6) {
            const std::string_view text =
                std::string_view(address.address).substr(0, address.address.find('%'));
            const auto ip = parse_ip(text);
            if (!ip || !ip->is_v6 || infrastructure.contains(normalised_address(text))) continue;
            const auto& b = ip->bytes;
            const bool global = (b[0] & 0xE0) == 0x20;
            const bool mac_derived_link_local =
                b[0] == 0xFE && (b[1] & 0xC0) == 0x80 && b[11] == 0xFF && b[12] == 0xFE;
            if (global || mac_derived_link_local) out.emplace_back(text);
        }
    }
    return out;
}

std::vector<std::string> learn_core_secrets(const FactSnapshot& snapshot) {
    std::vector<std::string> out;
    for (const CoreInfo& core : snapshot.core_infos)
        if (core.secret.size() >= kMinSecretWord) out.push_back(core.secret);
    return out;
}

std::vector<std::string> learn_bare_macs(const FactSnapshot& snapshot) {
    std::vector<std::string> out;
    for (const AdapterInfo& adapter : snapshot.adapters) {
        std::string digits;
        for (const char c : adapter.mac)
            if (is_hex(c)) digits += c;
        if (digits.size() == 12) out.push_back(std::move(digits));
    }
    return out;
}

// Every text of the snapshot through the table; a field whose key names a secret is replaced whole.
class SnapshotWalk {
public:
    explicit SnapshotWalk(PseudonymTable& table) : table_(table) {}

    template <class T> void operator()(std::string_view key, T& member) { redact(key, member); }

private:
    void redact(std::string_view key, std::string& value) {
        value =
            names_a_secret(key) && !value.empty() ? table_.stand_in(Kind::secret, value) : table_.text(value);
    }

    template <class T>
    requires std::is_arithmetic_v<T>
    void redact(std::string_view, T&) {}

    template <class T> void redact(std::string_view key, std::optional<T>& value) {
        if (value) redact(key, *value);
    }

    template <class T> void redact(std::string_view key, std::vector<T>& values) {
        for (T& value : values)
            redact(key, value);
    }

    // Set elements cannot change in place, and a changed one may sort elsewhere.
    void redact(std::string_view key, std::set<std::string>& values) {
        std::set<std::string> out;
        for (std::string value : values) {
            redact(key, value);
            out.insert(std::move(value));
        }
        values = std::move(out);
    }

    void redact(std::string_view, std::set<std::uint32_t>&) {}

    // Map keys are adapter GUIDs, variable names, probe targets and ids: only the values are redacted.
    template <class Map>
    requires requires { typename Map::mapped_type; }
    void redact(std::string_view key, Map& map) {
        for (auto* entry : sorted_entries(map))
            redact(key, entry->second);
    }

    template <SnapshotRecord T> void redact(std::string_view, T& record) { visit_fields(record, *this); }

    PseudonymTable& table_;
};

} // namespace

Redaction::Redaction() = default;
Redaction::~Redaction() = default;
Redaction::Redaction(Redaction&&) noexcept = default;
Redaction& Redaction::operator=(Redaction&&) noexcept = default;

Redaction Redaction::of(FactSnapshot& snapshot) {
    Redaction redaction;
    redaction.table_ = std::make_unique<PseudonymTable>();
    for (const Rule& rule : kRules) {
        if (!rule.learn) continue;
        for (const std::string& value : rule.learn(snapshot))
            redaction.table_->learn(rule.kind, value);
    }
    SnapshotWalk walk(*redaction.table_);
    visit_fields(snapshot, walk);
    return redaction;
}

std::string Redaction::text(std::string_view text) {
    return table_ ? table_->text(text) : std::string(text);
}

} // namespace wirelux
