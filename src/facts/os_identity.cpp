#include "facts/os_identity.h"

#include "model/snapshot.h"
#include "platform/process_env.h"
#include "platform/registry.h"
#include "util/text.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <utility>

namespace wirelux {

namespace {

constexpr unsigned kChinesePrimaryLanguage = 0x04;

std::optional<std::uint32_t> parse_u32(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::string registry_os_name(unsigned ui_language) {
    const auto key = platform::open_key(platform::RegistryRoot::LocalMachine,
                                        "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
    if (!key) return {};
    const std::string product = platform::read_text(*key, "ProductName").value_or("");
    const std::string edition = platform::read_text(*key, "EditionID").value_or("");
    const std::string build = platform::read_text(*key, "CurrentBuildNumber").value_or("");
    return compose_os_name(product, edition, build, ui_language);
}

} // namespace

std::optional<std::string> chinese_edition_text(std::string_view edition_id) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 13> kEditions{{
        {"Core", "家庭版"},
        {"CoreSingleLanguage", "家庭单语言版"},
        {"CoreCountrySpecific", "家庭中文版"},
        {"Professional", "专业版"},
        {"ProfessionalWorkstation", "专业工作站版"},
        {"ProfessionalEducation", "专业教育版"},
        {"Enterprise", "企业版"},
        {"EnterpriseS", "企业版 LTSC"},
        {"EnterpriseN", "企业版 N"},
        {"Education", "教育版"},
        {"IoTEnterprise", "IoT 企业版"},
        {"ServerStandard", "标准版"},
        {"ServerDatacenter", "数据中心版"},
    }};
    for (const auto& [id, text] : kEditions)
        if (id == edition_id) return std::string(text);
    return std::nullopt;
}

std::string compose_os_name(std::string_view product_name, std::string_view edition_id, std::string_view build,
                            unsigned ui_language) {
    if (product_name.empty()) return {};
    const auto build_number = parse_u32(build);
    const std::string generation = build_number && *build_number >= 22000 ? "Windows 11" : "Windows 10";

    std::string_view edition = product_name;
    if (edition.starts_with("Windows 11 "))
        edition.remove_prefix(11);
    else if (edition.starts_with("Windows 10 "))
        edition.remove_prefix(11);
    std::string edition_text(trim(edition));

    if ((ui_language & 0x3FF) == kChinesePrimaryLanguage) {
        if (auto chinese = chinese_edition_text(edition_id)) edition_text = std::move(*chinese);
    }
    return "Microsoft " + generation + " " + edition_text;
}

std::string os_release_pretty_name(std::string_view os_release) {
    while (!os_release.empty()) {
        const std::size_t eol = os_release.find('\n');
        std::string_view line = trim(os_release.substr(0, eol));
        os_release = eol == std::string_view::npos ? std::string_view{} : os_release.substr(eol + 1);
        if (!line.starts_with("PRETTY_NAME=")) continue;
        std::string_view value = line.substr(12);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            const char quote = value.front();
            value = value.substr(1, value.size() - 2);
            std::string out;
            for (std::size_t i = 0; i < value.size(); ++i) {
                if (quote == '"' && value[i] == '\\' && i + 1 < value.size()) ++i;
                out.push_back(value[i]);
            }
            return out;
        }
        return std::string(value);
    }
    return {};
}

std::string format_collected_at(const platform::LocalTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buffer;
}

void collect_identity(FactSnapshot& snapshot) {
    auto name = platform::environment_variable("COMPUTERNAME");
    if (!name) name = platform::host_name();
    snapshot.computer_name = name.value_or("localhost");
    if (const auto os_release = platform::os_release_text())
        snapshot.os_name = os_release_pretty_name(*os_release);
    else
        snapshot.os_name = registry_os_name(platform::ui_language());
    snapshot.collected_at = format_collected_at(platform::local_time());
}

} // namespace wirelux
