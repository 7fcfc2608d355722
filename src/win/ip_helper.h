#pragma once
// IP Helper declarations in the order the Windows headers need them.

// Winsock first: the IP Helper headers use its types without including it.
#include <winsock2.h>
#include <ws2ipdef.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <netioapi.h>

#include <optional>
#include <string>

namespace wirelux::platform {

// Address text of a socket address of the given length; absent for a null pointer, a family other
// than IPv4 and IPv6, or a length too short for the family. Ports and scope ids are not kept.
std::optional<std::string> socket_address_text(const SOCKADDR* address, int length);

// The same for the union the routing calls use.
std::optional<std::string> sockaddr_inet_text(const SOCKADDR_INET& address);

} // namespace wirelux::platform
