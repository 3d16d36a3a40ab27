#pragma once
// LG: the KDZ firmware of one handset, looked up by its serial number (IMEI). The core
// below builds the request, sends it and reads the reply; lgLookup (app/pages/lg_page.h) drives the
// page's controls with it. Texts are code page 936 (GBK).
#include <array>
#include <string>
#include <string_view>

#include "vendors/lookup.h"

// The serial number goes to the service exactly as typed, neither trimmed nor encoded.
std::string lgLookupAddress(std::string_view serial);

// The reply's elements in the order of the page's read-out boxes: model, esn, msn,
// prod_type, sw_version, sw_url.
inline constexpr int kLgFieldCount = 6;
extern const std::array<const char*, kLgFieldCount> kLgTags;

enum class LgOutcome {
    NoReply,  // nothing came back
    Failed,   // the service does not know the number
    Found,
};

struct LgReply {
    LgOutcome outcome = LgOutcome::NoReply;
    // Only for Found: each element's value with its character references decoded (no
    // trimming), "" where the element or its end tag is missing.
    std::array<std::string, kLgFieldCount> fields;
};

LgReply readLgReply(std::string_view replyText);

struct LgLookup : LookupStatus {
    // NoReply also for a failed request: `end` tells a failure from an empty answer.
    LgReply reply;
};
// Asks the model-check service about `serial` (as typed, one GET) and reads the reply; the
// sw_url made absolute against the request's address (downloadAddress). A reply that is
// neither the failure marker nor holds any of the six elements is Unreadable: it is no
// answer about the handset.
LgLookup lgLookUpSerial(std::string_view serial, const LookupContext& ctx = {});

// What the page tells the user.
const std::string& lgEmptySerialMessage();  // 请输入串号，可在拨号界面按*#06#进行查询！
const std::string& lgNoReplyMessage();  // 抱歉，未找到合适结果。
const std::string& lgFailedMessage();   // 查询失败，请检查您的手机串号是否有误！
