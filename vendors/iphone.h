#pragma once
// iPhone firmware catalogue: the four request addresses, the JSON replies read into box
// entries and list rows, the note on each package, and the look-ups that send the
// requests. No controls here; the page routines (app/pages/iphone_page.h) fill the page.
//
// Texts are code page 936 (GBK) bytes, as every program text.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vendors/lookup.h"

// The first entry of each box, which asks for everything.
const std::string& iphoneAllModels();    // "--全部机型--"
const std::string& iphoneAllTypes();     // "--全部类型--"
const std::string& iphoneAllVersions();  // "--全部版本--"

std::string iphoneModelListAddress();
std::string iphoneVersionListAddress();
// The model goes into the address as it stands: no escaping.
std::string iphoneTypeListAddress(std::string_view model);
// model, type and version as the boxes give them (see iphoneChoice); `allVersions` is the
// check box: "&brush=1" when checked, "&brush=30" when not.
std::string iphoneFirmwareAddress(std::string_view model, std::string_view type,
                                  std::string_view version, bool allVersions);
// What a box contributes to the address: "all" for its first entry, else the chosen text.
std::string iphoneChoice(std::string_view chosen, std::string_view firstEntry);

// The note column: factory or custom firmware, jailbreak, flashing.
std::string iphoneNote(std::int32_t types, std::int32_t isSetup, std::int32_t productState);

// A list reply (models, types, versions): its elements as texts, in order.
std::vector<std::string> iphoneReadList(std::string_view replyText);

// One list row: version, product name, note, download address.
using IphoneRow = std::array<std::string, 4>;
// A firmware list reply: every entry of every member, member order then entry order.
std::vector<IphoneRow> iphoneReadFirmware(std::string_view replyText);

// ---------------------------------------------------------------- look-ups
// The service reports nothing to the user: a failed request reads as an empty reply (a box
// with only its first entry, an empty list), and the look-up goes on with its next request.
// `end` is Failed when any request failed.

struct IphoneCatalogue {
    std::vector<std::string> models;    // the model box's entries after its first
    std::vector<std::string> versions;  // the version box's entries after its first
    std::vector<IphoneRow> rows;        // every package that can still be flashed
    LookupEnd end = LookupEnd::Complete;
};
// The page's first load: the model list, the version list, then the firmware list for
// model, type and version "all" without the versions that can no longer be flashed, in
// that order (three GETs).
IphoneCatalogue iphoneFetchCatalogue(const LookupContext& ctx = {});

struct IphoneList {
    std::vector<std::string> entries;
    LookupEnd end = LookupEnd::Complete;
};
// The type box's entries for the model box's chosen text: the type list of that model
// (one GET), or nothing, without a request, for the first entry "--全部机型--".
IphoneList iphoneFetchTypes(std::string_view chosenModel, const LookupContext& ctx = {});

struct IphoneFirmware {
    std::vector<IphoneRow> rows;
    LookupEnd end = LookupEnd::Complete;
};
// The firmware list for the boxes' contributions (see iphoneChoice) and the check box
// (one GET).
IphoneFirmware iphoneFetchFirmware(std::string_view model, std::string_view type,
                                   std::string_view version, bool allVersions,
                                   const LookupContext& ctx = {});
