#include "net_native.hpp"

namespace zandrel {

std::vector<uint32_t> HostIps(const String& name) {
    auto bytes = ToOsName(name);
    if (!bytes || bytes->empty()) return {};
    return native::ResolveHost(*bytes);
}

uint32_t HostIp(const String& name, int index) {
    if (index < 0) return 0;
    auto ips = HostIps(name);
    return index < static_cast<int>(ips.size()) ? ips[index] : 0;
}

String HostName(uint32_t ip) {
    return FromUtf8(native::ResolveAddress(ip));
}

String DottedIP(uint32_t ip) {
    return FromInt(ip >> 24) + u"." + FromInt((ip >> 16) & 255) + u"." + FromInt((ip >> 8) & 255) +
           u"." + FromInt(ip & 255);
}

} // namespace zandrel
