#pragma once
// Where the five vendor services live. Each host defaults to the vendor's public host and
// can be pointed elsewhere (a mirror, a proxy, the vendor simulator) through one
// environment variable; nothing else about the services is configurable.
//
//   ROMHAUL_HUAWEI_HOST, ROMHAUL_ZTE_HOST, ROMHAUL_COOLPAD_HOST   host or host:port
//   ROMHAUL_LG_HOST                                              host or host:port (9002)
//   ROMHAUL_IPHONE_BASE                                          base address
//
// The environment is read on every call, so a test may change it between look-ups.
#include <string>

enum class VendorService { Huawei, Zte, Coolpad, Lg, Iphone };

// The environment variable that overrides a service's host.
const char* serviceHostVariable(VendorService service);

// "host" or "host:port" of a service: the override when it is a usable host (an optional
// "http://" and a trailing "/" are dropped), the vendor's public host otherwise. LG always
// carries its port: 9002 unless the override names another one. For the iPhone catalogue
// this is the host part of its base address.
std::string serviceHost(VendorService service);

// Whether ROMHAUL_IPHONE_BASE names a usable catalogue: without it the catalogue's base is
// a reserved name that answers nothing, and the front ends say which variable to set.
bool iphoneBaseConfigured();

// The address that a service's request paths are joined to:
//  - Huawei, ZTE, Coolpad, LG: "http://" + serviceHost, no trailing "/", so that an
//    absolute path such as "/js/support_search.js" follows directly;
//  - iPhone: the catalogue's base address, always ending in "/", so that relative paths
//    such as "model/getModelSelect.go" follow directly.
std::string serviceBase(VendorService service);

inline std::string huaweiBase() {
    return serviceBase(VendorService::Huawei);
}
inline std::string zteBase() {
    return serviceBase(VendorService::Zte);
}
inline std::string coolpadBase() {
    return serviceBase(VendorService::Coolpad);
}
inline std::string lgBase() {
    return serviceBase(VendorService::Lg);
}
inline std::string iphoneBase() {
    return serviceBase(VendorService::Iphone);
}
