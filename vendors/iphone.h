#pragma once
// iPhone firmware catalogue: the four request addresses, the JSON replies read into box
// entries and list rows, and the note on each package. No controls here; the page
// routines (iphone_page.h) fill the iPhone page.
//
// Texts are code page 936 (GBK) bytes, as every program text.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// GET of `address`, the UTF-8 body as text.
std::string iphoneFetch(const std::string& address);

// A list reply (models, types, versions): its elements as texts, in order.
std::vector<std::string> iphoneReadList(std::string_view replyText);

// One list row: version, product name, note, download address.
using IphoneRow = std::array<std::string, 4>;
// A firmware list reply: every entry of every member, member order then entry order.
std::vector<IphoneRow> iphoneReadFirmware(std::string_view replyText);
