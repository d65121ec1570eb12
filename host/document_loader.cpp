// The document file loader: JSON syntax (with duplicate keys refused), the
// top level of the document, then link resolution and key assignment. Node
// kinds are loaded in load_objects.cpp and load_materials.cpp.
#include "host/document_loader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/loader_context.h"

namespace host {

namespace {

using loader::childPath;
using loader::indexPath;
using loader::Json;

// "line L, column C (byte B)" of a byte offset; lines and columns count from 1.
std::string location(const std::string& text, std::size_t byte) {
    if (byte > text.size()) byte = text.size();
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < byte; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + " (byte " +
           std::to_string(byte) + ")";
}

// Tracks the JSON path while the parser runs, to name a duplicate key.
class KeyChecker {
  public:
    bool operator()(int, Json::parse_event_t event, Json& parsed) {
        switch (event) {
            case Json::parse_event_t::object_start:
            case Json::parse_event_t::array_start:
                enterValue();
                frames_.push_back({event == Json::parse_event_t::array_start, -1, {}, {}});
                break;
            case Json::parse_event_t::object_end:
            case Json::parse_event_t::array_end:
                frames_.pop_back();
                break;
            case Json::parse_event_t::key: {
                Frame& f = frames_.back();
                f.key = parsed.get<std::string>();
                if (!f.keys.insert(f.key).second) throw DocumentError(path() + ": duplicate key");
                break;
            }
            case Json::parse_event_t::value:
                enterValue();
                break;
        }
        return true;
    }

  private:
    struct Frame {
        bool array;
        long index;
        std::string key;
        std::set<std::string> keys;
    };
    void enterValue() {
        if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
    }
    std::string path() const {
        std::string p;
        for (const Frame& f : frames_)
            p = f.array ? indexPath(p, static_cast<std::size_t>(f.index)) : childPath(p, f.key);
        return p;
    }
    std::vector<Frame> frames_;
};

Json parse(const std::string& text) {
    try {
        return Json::parse(text, KeyChecker());
    } catch (const Json::parse_error& e) {
        // The library's message reads "[json.exception.parse_error.101] parse
        // error at line 1, column 5: <reason>"; keep the reason.
        std::string reason = e.what();
        const std::size_t colon = reason.find(": ", reason.find("column"));
        if (colon != std::string::npos) reason = reason.substr(colon + 2);
        const std::size_t byte = e.byte > 0 ? e.byte - 1 : 0;  // e.byte counts from 1
        throw DocumentError("JSON syntax error at " + location(text, byte) + ": " + reason);
    } catch (const Json::exception& e) {
        throw DocumentError(std::string("JSON error: ") + e.what());
    }
}

void loadTop(loader::Context& ctx, const Json& j, const std::string& directory) {
    BaseDocument& doc = ctx.doc();
    ctx.object(j, "", {"name", "directory", "fps", "time", "layers", "materials", "objects"});
    if (j.contains("name")) {
        const std::string name = ctx.string(j["name"], "name");
        doc.SetName(String(name));
        doc.SetParameter(DescID(DOCUMENT_FILENAME), GeData(Filename(String(name))));
    }
    const std::string dir =
        j.contains("directory") ? ctx.string(j["directory"], "directory") : directory;
    doc.SetParameter(DescID(DOCUMENT_PATH), GeData(Filename(String(dir))));
    if (j.contains("fps")) doc.SetFps(static_cast<Int32>(ctx.integer(j["fps"], "fps", 1, 100000)));
    if (j.contains("time")) {
        const Json& t = j["time"];
        ctx.object(t, "time", {"current", "start"});
        if (t.contains("current")) doc.SetTime(BaseTime(ctx.number(t["current"], "time.current")));
        if (t.contains("start"))
            doc.SetParameter(DescID(DOCUMENT_MINTIME),
                             GeData(BaseTime(ctx.number(t["start"], "time.start"))));
    }
    if (j.contains("layers")) {
        const Json& layers = ctx.array(j["layers"], "layers");
        for (std::size_t i = 0; i < layers.size(); ++i)
            doc.InsertLayer(loader::loadLayer(ctx, layers[i], indexPath("layers", i)));
    }
    if (j.contains("materials")) {
        const Json& materials = ctx.array(j["materials"], "materials");
        for (std::size_t i = 0; i < materials.size(); ++i)
            doc.InsertMaterial(loader::loadMaterial(ctx, materials[i], indexPath("materials", i)));
    }
    if (j.contains("objects")) {
        const Json& objects = ctx.array(j["objects"], "objects");
        for (std::size_t i = 0; i < objects.size(); ++i)
            doc.InsertObject(loader::loadObject(ctx, objects[i], indexPath("objects", i), 1));
    }
}

}  // namespace

std::unique_ptr<BaseDocument> LoadDocumentText(const std::string& text,
                                               const std::string& directory) {
    const Json j = parse(text);
    auto doc = std::make_unique<BaseDocument>();
    loader::Context ctx(*doc);
    loadTop(ctx, j, directory);
    ctx.resolveLinks();
    ctx.assignKeys();
    return doc;
}

std::unique_ptr<BaseDocument> LoadDocumentFile(const std::string& path) {
    std::error_code dirError;
    if (std::filesystem::is_directory(path, dirError))
        throw DocumentError("cannot read the file: it is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw DocumentError(std::string("cannot read the file: ") + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw DocumentError(std::string("cannot read the file: ") + std::strerror(errno));
    // The folder that holds the file, absolute, so that "" keeps meaning
    // "never saved" even for a file in the current directory.
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) absolute = path;
    std::string folder = absolute.lexically_normal().parent_path().string();
    return LoadDocumentText(text.str(), folder);
}

}  // namespace host
