// What a local listener answers to the HTTP CONNECT probe.
#include "common/harness.h"
#include "probe/proxy_protocol.h"

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    const std::string verdict = classify_connect_reply(input);
    check(verdict.empty() || verdict == kConnectVerdict407 || verdict == kConnectVerdictProxyAgent ||
              verdict == kConnectVerdictEstablished,
          "the verdict is one of the labels");
}

} // namespace wirelux::fuzz
