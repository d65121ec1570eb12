// The document file loader: one pass of the document parser (nlohmann's
// parser names what it declines: JSON syntax, duplicate keys), the top level
// of the document, then link resolution and key assignment. Node
// kinds are loaded in load_objects.cpp and load_materials.cpp.
#include "host/document_loader.h"

#include <filesystem>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "host/document_parser.h"
#include "host/document_text.h"
#include "host/loader_context.h"
#include "host/plugin_api.h"
#include "platform/regular_file.h"

namespace host {

namespace {

using loader::childPath;
using loader::indexPath;
using loader::Json;

// "line L, column C (byte B)" of a byte offset; lines and columns count from 1.
std::string location(std::string_view text, std::size_t byte) {
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

// Checks the text with nlohmann's parser, without building anything, and
// refuses a key that an object already holds, naming it by its JSON path.
// Each event costs a constant amount of work (a key costs a lookup in its
// own object's keys), so a file with many siblings is checked in linear time.
class DuplicateKeyCheck {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    bool null() { return value(); }
    bool boolean(bool) { return value(); }
    bool number_integer(number_integer_t) { return value(); }
    bool number_unsigned(number_unsigned_t) { return value(); }
    bool number_float(number_float_t, const string_t&) { return value(); }
    bool string(string_t&) { return value(); }
    bool binary(binary_t&) { return value(); }
    bool start_object(std::size_t) { return open(false); }
    bool start_array(std::size_t) { return open(true); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(string_t& k) {
        Frame& f = frames_.back();
        if (!f.keys.insert(k).second) {
            f.key = std::move(k);
            throw DocumentError(path() + ": duplicate key");
        }
        f.key = std::move(k);
        return true;
    }
    // The library's own exception (a parse_error), handled by check().
    template <class Exception>
    bool parse_error(std::size_t, const std::string&, const Exception& e) {
        throw e;
    }

private:
    struct Frame {
        bool array;
        long index = -1;                       // arrays: index of the latest element
        std::string key;                       // objects: the key of the value being read
        std::unordered_set<std::string> keys;  // objects: the keys so far
    };

    bool value() {
        if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
        return true;
    }
    bool open(bool array) {
        value();
        frames_.push_back({array, -1, {}, {}});
        return true;
    }
    bool close() {
        frames_.pop_back();
        return true;
    }
    std::string path() const {
        std::string p;
        for (const Frame& f : frames_)
            p = f.array ? indexPath(p, static_cast<std::size_t>(f.index)) : childPath(p, f.key);
        return p;
    }

    std::vector<Frame> frames_;
};

// "cannot read the file: <reason>"; the platform's "is a folder, ..." reads
// as "it is a folder, ...".
std::string cannotRead(const std::string& reason) {
    return "cannot read the file: " + (reason.rfind("is ", 0) == 0 ? "it " + reason : reason);
}

// nlohmann's verdict on the text: returns when it is valid JSON without a
// duplicate key, else raises DocumentError naming the first problem.
void check(std::string_view text) {
    try {
        DuplicateKeyCheck checker;
        Json::sax_parse(text.begin(), text.end(), &checker);
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

// The host's status bar during one document file's load: the parse fills
// kParseShare of the bar by bytes, building the document the rest, one
// top-level object after another. It goes however the load ends.
class LoadProgress {
public:
    explicit LoadProgress(const std::string& path) {
        std::string name = std::filesystem::path(path).filename().string();
        BeginProgress(("loading " + (name.empty() ? path : name)).c_str());
    }
    ~LoadProgress() { EndProgress(); }
    LoadProgress(const LoadProgress&) = delete;
    LoadProgress& operator=(const LoadProgress&) = delete;

    void parsed(std::size_t reached, std::size_t size) const {
        SetProgress(kParseShare * static_cast<double>(reached) / static_cast<double>(size));
    }
    void built(std::size_t objects, std::size_t of) const {
        SetProgress(kParseShare +
                    (1.0 - kParseShare) * static_cast<double>(objects) / static_cast<double>(of));
    }

private:
    static constexpr double kParseShare = 0.8;
};

// One pass of the document parser; when it declines the text, nlohmann's
// parser names the problem, and should it find none, builds the tree itself.
// `text` is followed by a NUL.
loader::ParsedDocument parse(std::string_view text, bool bulkArrays, const LoadProgress* progress) {
    loader::ParsedDocument parsed;
    loader::ParseProgress reached;
    if (progress)
        reached = [progress, &text](std::size_t offset) { progress->parsed(offset, text.size()); };
    if (loader::parseDocumentText(text.data(), text.size(), parsed, bulkArrays, reached))
        return parsed;
    check(text);
    parsed = loader::ParsedDocument();
    parsed.root = Json::parse(text.begin(), text.end());
    return parsed;
}

void loadTop(loader::Context& ctx, const Json& j, const std::string& directory,
             const LoadProgress* progress) {
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
        if (t.contains("current")) doc.SetTime(BaseTime(ctx.seconds(t["current"], "time.current")));
        if (t.contains("start"))
            doc.SetParameter(DescID(DOCUMENT_MINTIME),
                             GeData(BaseTime(ctx.seconds(t["start"], "time.start"))));
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
        for (std::size_t i = 0; i < objects.size(); ++i) {
            doc.InsertObject(loader::loadObject(ctx, objects[i], indexPath("objects", i), 1));
            if (progress) progress->built(i + 1, objects.size());
        }
    }
}

std::unique_ptr<BaseDocument> load(std::string_view text, const std::string& directory,
                                   bool bulkArrays, const LoadProgress* progress) {
    loader::ParsedDocument parsed = parse(text, bulkArrays, progress);
    auto doc = std::make_unique<BaseDocument>();
    loader::Context ctx(*doc, &parsed.bulk);
    loadTop(ctx, parsed.root, directory, progress);
    ctx.resolveLinks();
    ctx.assignKeys();
    return doc;
}

}  // namespace

namespace loader {

std::unique_ptr<BaseDocument> loadText(std::string_view text, const std::string& directory,
                                       bool bulkArrays) {
    return load(text, directory, bulkArrays, nullptr);
}

}  // namespace loader

std::unique_ptr<BaseDocument> LoadDocumentText(const std::string& text,
                                               const std::string& directory) {
    return loader::loadText(text, directory);
}

std::unique_ptr<BaseDocument> LoadDocumentFile(const std::string& path) {
    const LoadProgress progress(path);
    loader::DocumentText text;
    std::string error;
    if (!text.read(path, error)) throw DocumentError(cannotRead(error));
    // The folder that holds the file, absolute, so that "" keeps meaning
    // "never saved" even for a file in the current directory.
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) absolute = path;
    std::string folder = absolute.lexically_normal().parent_path().string();
    return load(text.view(), folder, true, &progress);
}

}  // namespace host
