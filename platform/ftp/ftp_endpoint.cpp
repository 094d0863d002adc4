#include "platform/ftp/ftp_endpoint.h"

#include "platform/text/utf_conversion.h"

namespace {

bool HasLineBreakOrNul(std::u16string_view text) {
    return text.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos;
}

std::optional<uint16_t> ParsePort(std::u16string_view text) {
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint32_t>(c - u'0');
    }
    if (value < 1 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

} // namespace

std::optional<FtpEndpoint> FtpEndpoint::Parse(std::u16string_view server, std::u16string_view user,
                                              std::u16string_view password) {
    try {
        if (HasLineBreakOrNul(server) || HasLineBreakOrNul(user) || HasLineBreakOrNul(password)) {
            return std::nullopt;
        }
        std::u16string_view host = server;
        std::optional<uint16_t> port = kDefaultPort;
        if (!server.empty() && server.front() == u'[') {
            // An IPv6 address in brackets, which keeps its colons apart from the port's.
            const size_t close = server.find(u']');
            if (close == std::u16string_view::npos) {
                return std::nullopt;
            }
            host = server.substr(1, close - 1);
            const std::u16string_view rest = server.substr(close + 1);
            if (!rest.empty()) {
                if (rest.front() != u':') {
                    return std::nullopt;
                }
                port = ParsePort(rest.substr(1));
            }
        } else {
            const size_t colon = server.find(u':');
            // More than one colon is a bare IPv6 address, which has no room for a port.
            if (colon != std::u16string_view::npos &&
                server.find(u':', colon + 1) == std::u16string_view::npos) {
                host = server.substr(0, colon);
                port = ParsePort(server.substr(colon + 1));
            }
        }
        if (host.empty() || !port) {
            return std::nullopt;
        }
        FtpEndpoint endpoint;
        endpoint.host = Utf16ToUtf8(host);
        endpoint.port = *port;
        endpoint.user = Utf16ToUtf8(user);
        endpoint.password = Utf16ToUtf8(password);
        return endpoint;
    } catch (...) {
        return std::nullopt;
    }
}
