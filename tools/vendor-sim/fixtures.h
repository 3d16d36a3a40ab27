#pragma once
// The data sets the simulator serves, read from the JSON files under tests/fixtures/vendor-sim.
// Texts are UTF-8, as the services send them.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vendorsim {

struct HuaweiFile {
    std::string fileId;
    std::string fileName;
    std::string fileSize;
    std::int64_t releaseDate = 0;  // milliseconds since 1970-01-01 UTC
    std::string downloadUrl;
};

struct HuaweiProduct {
    std::vector<std::string> keywords;
    std::string productName;
    std::vector<HuaweiFile> files;
};

struct ZteFile {
    std::string name;  // as the page shows it, blanks included
    std::string url;
    std::string size;
    std::string date;
};

struct ZteModel {
    std::string id;  // 36 characters
    std::string name;
    int order = 0;
    int downloads = 0;
    std::vector<ZteFile> files;
};

struct ZteSeries {
    std::string key;  // member name in the model list
    std::string title;
    std::string categoryId;
    std::vector<ZteModel> models;
};

struct CoolpadFile {
    std::string description;
    std::string date;
    std::string size;
    std::string os;
    std::string kind;
    std::string url;
};

struct CoolpadType {
    std::string name;
    std::vector<CoolpadFile> files;
};

// Where a result of the large search reply sits, counted in the bytes of the reply as the
// program holds it (GBK), against its 500,000-byte chunks.
enum class ChunkPlace { None, First, Second, Straddle, Third };

struct CoolpadResult {
    std::string type;
    std::string category;  // "下载中心" for a download result
    ChunkPlace place = ChunkPlace::None;
};

struct CoolpadKeyword {
    std::string keyword;
    bool large = false;
    std::vector<CoolpadResult> results;
};

struct LgSerial {
    std::string esn;
    bool literal = false;  // true: `reply` is sent as it stands
    std::string reply;
    std::vector<std::pair<std::string, std::string>> fields;  // tag, value, in order
};

struct IphoneFirmware {
    std::string model;
    std::string type;
    std::string version;
    std::string productName;
    int types = 0;
    bool hasIsSetup = true;
    int isSetup = 0;
    int productState = 0;
    std::string downUrl;
};

struct Fixtures {
    std::vector<HuaweiProduct> huawei;
    std::string ztePrefix;
    std::vector<ZteSeries> zte;
    std::vector<CoolpadKeyword> coolpadKeywords;
    std::vector<CoolpadType> coolpadTypes;
    std::vector<LgSerial> lg;
    std::vector<std::string> iphoneModels;
    std::map<std::string, std::vector<std::string>> iphoneTypes;
    std::vector<std::string> iphoneVersions;
    std::vector<IphoneFirmware> iphoneFirmware;
};

// Reads the five files of `dir`; false with a reason in `error` when one is missing or
// malformed.
bool loadFixtures(const std::string& dir, Fixtures& out, std::string& error);

// The fixture folder of the source tree this binary was built from.
std::string defaultFixtureDir();

}  // namespace vendorsim
