#include "app/pages/failure_text.h"

#include "base/text_util.h"

namespace {

std::string serviceName(VendorService service) {
    switch (service) {
        case VendorService::Huawei:
            return gbk("华为");
        case VendorService::Zte:
            return gbk("中兴");
        case VendorService::Coolpad:
            return gbk("酷派");
        case VendorService::Lg:
            return "LG";
        case VendorService::Iphone:
            return gbk("iPhone 固件目录");
    }
    return {};
}

std::string reason(const Failure& failure) {
    switch (failure.kind) {
        case FailureKind::Network:
            return gbk("网络错误：") + failure.detail;
        case FailureKind::HttpStatus:
            return gbk("服务返回 HTTP 状态 ") + std::to_string(failure.httpStatus);
        case FailureKind::TooLarge:
            return gbk("回复过大");
        case FailureKind::Unreadable:
            return gbk("回复无法读取");
        case FailureKind::None:
            break;
    }
    return {};
}

}  // namespace

std::string lookupFailureMessage(VendorService service, const Failure& failure) {
    return serviceName(service) + gbk(" 服务请求失败（") + serviceHost(service) + gbk("）：") +
           reason(failure);
}
