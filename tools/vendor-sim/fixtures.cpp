#include "tools/vendor-sim/fixtures.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace vendorsim {

namespace {

// Ordered, so that the LG tags keep the order the file gives them.
using json = nlohmann::ordered_json;

bool readJson(const std::string& path, json& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    out = json::parse(text.str(), nullptr, false);
    if (out.is_discarded()) {
        error = "malformed JSON in " + path;
        return false;
    }
    return true;
}

std::string textOf(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

template <class T>
T numberOf(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_number() ? it->get<T>() : T{};
}

ChunkPlace placeOf(const std::string& name) {
    if (name == "first") return ChunkPlace::First;
    if (name == "second") return ChunkPlace::Second;
    if (name == "straddle") return ChunkPlace::Straddle;
    if (name == "third") return ChunkPlace::Third;
    return ChunkPlace::None;
}

void readHuawei(const json& doc, Fixtures& out) {
    for (const json& p : doc.value("products", json::array())) {
        HuaweiProduct product;
        product.productName = textOf(p, "productName");
        for (const json& k : p.value("keywords", json::array())) {
            if (k.is_string()) product.keywords.push_back(k.get<std::string>());
        }
        for (const json& f : p.value("files", json::array())) {
            product.files.push_back(
                {textOf(f, "fileId"), textOf(f, "fileName"), textOf(f, "fileSize"),
                 numberOf<std::int64_t>(f, "releaseDate"), textOf(f, "downloadUrl")});
        }
        out.huawei.push_back(std::move(product));
    }
}

void readZte(const json& doc, Fixtures& out) {
    out.ztePrefix = textOf(doc, "prefix");
    for (const json& s : doc.value("series", json::array())) {
        ZteSeries series{textOf(s, "key"), textOf(s, "title"), textOf(s, "categoryId"), {}};
        for (const json& m : s.value("models", json::array())) {
            ZteModel model{textOf(m, "id"),
                           textOf(m, "name"),
                           numberOf<int>(m, "order"),
                           numberOf<int>(m, "downloads"),
                           {}};
            for (const json& f : m.value("files", json::array())) {
                model.files.push_back(
                    {textOf(f, "name"), textOf(f, "url"), textOf(f, "size"), textOf(f, "date")});
            }
            series.models.push_back(std::move(model));
        }
        out.zte.push_back(std::move(series));
    }
}

void readCoolpad(const json& doc, Fixtures& out) {
    for (const json& k : doc.value("keywords", json::array())) {
        CoolpadKeyword keyword{textOf(k, "keyword"), k.value("large", false), {}};
        for (const json& r : k.value("results", json::array())) {
            keyword.results.push_back(
                {textOf(r, "type"), textOf(r, "category"), placeOf(textOf(r, "chunk"))});
        }
        out.coolpadKeywords.push_back(std::move(keyword));
    }
    for (const json& t : doc.value("types", json::array())) {
        CoolpadType type{textOf(t, "name"), {}};
        for (const json& f : t.value("files", json::array())) {
            type.files.push_back({textOf(f, "description"), textOf(f, "date"), textOf(f, "size"),
                                  textOf(f, "os"), textOf(f, "kind"), textOf(f, "url")});
        }
        out.coolpadTypes.push_back(std::move(type));
    }
}

void readLg(const json& doc, Fixtures& out) {
    for (const json& s : doc.value("serials", json::array())) {
        LgSerial serial;
        serial.esn = textOf(s, "esn");
        if (s.contains("reply")) {
            serial.literal = true;
            serial.reply = textOf(s, "reply");
        }
        const json fields = s.value("fields", json::object());
        for (const auto& [tag, value] : fields.items()) {
            serial.fields.emplace_back(tag, value.is_string() ? value.get<std::string>() : "");
        }
        out.lg.push_back(std::move(serial));
    }
}

void readIphone(const json& doc, Fixtures& out) {
    for (const json& m : doc.value("models", json::array())) {
        if (m.is_string()) out.iphoneModels.push_back(m.get<std::string>());
    }
    const json typeLists = doc.value("types", json::object());
    for (const auto& [model, types] : typeLists.items()) {
        auto& list = out.iphoneTypes[model];
        for (const json& t : types) {
            if (t.is_string()) list.push_back(t.get<std::string>());
        }
    }
    for (const json& v : doc.value("versions", json::array())) {
        if (v.is_string()) out.iphoneVersions.push_back(v.get<std::string>());
    }
    for (const json& f : doc.value("firmware", json::array())) {
        IphoneFirmware fw;
        fw.model = textOf(f, "model");
        fw.type = textOf(f, "type");
        fw.version = textOf(f, "version");
        fw.productName = textOf(f, "productName");
        fw.types = numberOf<int>(f, "types");
        fw.hasIsSetup = f.contains("isSetup");
        fw.isSetup = numberOf<int>(f, "isSetup");
        fw.productState = numberOf<int>(f, "productState");
        fw.downUrl = textOf(f, "downUrl");
        out.iphoneFirmware.push_back(std::move(fw));
    }
}

}  // namespace

bool loadFixtures(const std::string& dir, Fixtures& out, std::string& error) {
    struct File {
        const char* name;
        void (*read)(const json&, Fixtures&);
    };
    const File files[] = {{"huawei.json", readHuawei},
                          {"zte.json", readZte},
                          {"coolpad.json", readCoolpad},
                          {"lg.json", readLg},
                          {"iphone.json", readIphone}};
    Fixtures loaded;
    for (const File& file : files) {
        json doc;
        if (!readJson(dir + "/" + file.name, doc, error)) return false;
        if (!doc.is_object()) {
            error = std::string(file.name) + " holds no object";
            return false;
        }
        file.read(doc, loaded);
    }
    out = std::move(loaded);
    return true;
}

std::string defaultFixtureDir() {
    return ROMHAUL_VENDOR_SIM_FIXTURES;
}

}  // namespace vendorsim
