#include "vendors/lg.h"

#include "base/text_util.h"
#include "net/entities.h"
#include "net/fetch_url.h"
#include "vendors/service_hosts.h"

const std::array<const char*, kLgFieldCount> kLgTags = {"model",     "esn",        "msn",
                                                        "prod_type", "sw_version", "sw_url"};

std::string lgLookupAddress(std::string_view serial) {
    return joinTexts({lgBase(), "/csmg/b2c/client/auth_model_check2.jsp?esn=", serial});
}

LgReply readLgReply(std::string_view replyText) {
    LgReply reply;
    if (replyText.empty()) return reply;
    if (findText(replyText, "status='FAIL'")) {
        reply.outcome = LgOutcome::Failed;
        return reply;
    }
    reply.outcome = LgOutcome::Found;
    for (int i = 0; i < kLgFieldCount; ++i) {
        const std::string tag = kLgTags[std::size_t(i)];
        reply.fields[std::size_t(i)] =
            net::decodeEntities(net::textBetween(replyText, "<" + tag + ">", "</" + tag + ">"));
    }
    return reply;
}

LgLookup lgLookUpSerial(std::string_view serial, const LookupContext& ctx) {
    LgLookup lookup;
    const std::string address = lgLookupAddress(serial);
    const std::string text = fetchText(ctx, VendorService::Lg, {address}, lookup);
    lookup.reply = readLgReply(text);
    if (lookup.reply.outcome == LgOutcome::Found) {
        bool anyElement = false;
        for (const char* tag : kLgTags)
            anyElement |= findText(text, "<" + std::string(tag) + ">") != 0;
        if (!anyElement) {
            lookup.reply = {};
            lookup.fail(FailureKind::Unreadable);
            return lookup;
        }
    }
    std::string& url = lookup.reply.fields[kLgFieldCount - 1];
    url = downloadAddress(address, url);
    return lookup;
}

const std::string& lgEmptySerialMessage() {
    static const std::string text = gbk("请输入串号，可在拨号界面按*#06#进行查询！");
    return text;
}

const std::string& lgNoReplyMessage() {
    static const std::string text = gbk("抱歉，未找到合适结果。");
    return text;
}

const std::string& lgFailedMessage() {
    static const std::string text = gbk("查询失败，请检查您的手机串号是否有误！");
    return text;
}
