#include "vendors/iphone.h"

#include "base/text_util.h"
#include "document/data_document.h"
#include "vendors/service_hosts.h"

const std::string& iphoneAllModels() {
    static const std::string text = gbk("--全部机型--");
    return text;
}

const std::string& iphoneAllTypes() {
    static const std::string text = gbk("--全部类型--");
    return text;
}

const std::string& iphoneAllVersions() {
    static const std::string text = gbk("--全部版本--");
    return text;
}

std::string iphoneModelListAddress() {
    return iphoneBase() + "model/getModelSelect.go";
}

std::string iphoneVersionListAddress() {
    return iphoneBase() + "model/getVersionSelect.go?type=all";
}

std::string iphoneTypeListAddress(std::string_view model) {
    return iphoneBase() + "model/getTypeSelect.go?model=" + std::string(model);
}

std::string iphoneFirmwareAddress(std::string_view model, std::string_view type,
                                  std::string_view version, bool allVersions) {
    return iphoneBase() + "down/getDown.go?model=" + std::string(model) +
           "&type=" + std::string(type) + "&version=" + std::string(version) +
           (allVersions ? "&brush=1" : "&brush=30");
}

std::string iphoneChoice(std::string_view chosen, std::string_view firstEntry) {
    return chosen == firstEntry ? std::string("all") : std::string(chosen);
}

std::string iphoneNote(std::int32_t types, std::int32_t isSetup, std::int32_t productState) {
    std::string note = gbk(types == 0 ? "原厂固件" : "自制固件");
    switch (isSetup) {
        case 20:
            note += gbk("，不可越狱");
            break;
        case 80:
            note += gbk("，可不完美越狱");
            break;
        case 120:
            note += gbk("，可完美越狱");
            break;
        default:
            break;
    }
    switch (productState) {
        case 30:
            note += gbk("，不可刷");
            break;
        case 60:
            note += gbk("，可随意刷此版本");
            break;
        case 90:
            note += gbk("，可平刷");
            break;
        case 120:
            note += gbk("，有SHSH则可以刷");
            break;
        default:
            break;
    }
    return note;
}

namespace {

// Only arrays are walked by position: count gives a text's length in bytes, and walking a
// long text by index would grow it into an array one position at a time.
bool isArray(const DataDocument& view) {
    return view.node() && view.node()->kind() == kArray;
}

}  // namespace

std::vector<std::string> iphoneReadList(std::string_view replyText) {
    std::vector<std::string> items;
    if (replyText.size() > serviceReplyCap(VendorService::Iphone)) return items;
    std::string json(replyText);
    DataDocument root = parse(json);
    const int n = isArray(root) ? root.count() : 0;
    for (int i = 1; i <= n; ++i) items.push_back(root.index(i).textValue());
    releaseDocument(root);
    return items;
}

std::vector<IphoneRow> iphoneReadFirmware(std::string_view replyText) {
    std::vector<IphoneRow> rows;
    if (replyText.size() > serviceReplyCap(VendorService::Iphone)) return rows;
    std::string json(replyText);
    DataDocument root = parse(json);
    std::vector<std::string> names;
    root.names(names);
    for (const std::string& name : names) {
        DataDocument list = root.key(name);
        const int n = isArray(list) ? list.count() : 0;
        for (int j = 1; j <= n; ++j) {
            DataDocument entry = list.index(j);
            const std::int32_t types = entry.key("types").intValue();
            const std::int32_t isSetup = entry.key("isSetup").intValue();
            const std::int32_t productState = entry.key("productState").intValue();
            rows.push_back({entry.key("version").textValue(), entry.key("productName").textValue(),
                            iphoneNote(types, isSetup, productState),
                            entry.key("downUrl").textValue()});
        }
    }
    releaseDocument(root);
    return rows;
}

namespace {

// One GET of the catalogue as text; a failure marks the look-up failed and reads as the
// empty reply.
std::string catalogueText(const LookupContext& ctx, std::string address, LookupEnd& end) {
    LookupEnd got;
    std::string text = fetchText(ctx, {std::move(address)}, got);
    if (got != LookupEnd::Complete && end != LookupEnd::Stopped) end = got;
    return text;
}

}  // namespace

IphoneCatalogue iphoneFetchCatalogue(const LookupContext& ctx) {
    IphoneCatalogue c;
    c.models = iphoneReadList(catalogueText(ctx, iphoneModelListAddress(), c.end));
    if (c.end == LookupEnd::Stopped) return c;
    c.versions = iphoneReadList(catalogueText(ctx, iphoneVersionListAddress(), c.end));
    if (c.end == LookupEnd::Stopped) return c;
    c.rows = iphoneReadFirmware(
        catalogueText(ctx, iphoneFirmwareAddress("all", "all", "all", false), c.end));
    return c;
}

IphoneList iphoneFetchTypes(std::string_view chosenModel, const LookupContext& ctx) {
    IphoneList list;
    if (chosenModel == iphoneAllModels()) return list;
    list.entries = iphoneReadList(catalogueText(ctx, iphoneTypeListAddress(chosenModel), list.end));
    return list;
}

IphoneFirmware iphoneFetchFirmware(std::string_view model, std::string_view type,
                                   std::string_view version, bool allVersions,
                                   const LookupContext& ctx) {
    IphoneFirmware firmware;
    firmware.rows = iphoneReadFirmware(
        catalogueText(ctx, iphoneFirmwareAddress(model, type, version, allVersions), firmware.end));
    return firmware;
}
