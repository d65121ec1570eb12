// A plug-in for testing vxhost: it registers the three command ids with
// scripted behaviour and one command that shows a message.
//   1033591 "Render in Vantrix"    prints the document's name and object count
//   1034393 "Update Vantrix scene" throws
//   1034420 "Export to .vxs"       asks for a path and writes one line there
//   2000001 "Show message"         shows a message
// $VXHOST_TEST_START=throw makes the start throw.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "host/document.h"
#include "host/plugin_api.h"

namespace {

using namespace host;

std::string documentName(BaseDocument* doc) {
    GeData name;
    doc->GetParameter(DescID(DOCUMENT_FILENAME), name);
    return name.GetString().utf8();
}

class Render : public CommandData {
public:
    bool Execute(BaseDocument* doc) override {
        int count = 0;
        for (BaseObject* o = doc->GetFirstObject(); o; o = o->GetNext()) ++count;
        GePrint(String("render " + documentName(doc) + " with " + std::to_string(count) +
                       " top-level objects"));
        return true;
    }
};

class Update : public CommandData {
public:
    bool Execute(BaseDocument*) override { throw std::runtime_error("update exploded"); }
};

class Export : public CommandData {
public:
    bool Execute(BaseDocument* doc) override {
        Filename file;
        file.SetDirectory("%USERDATA%");
        file.SetFile("untitled");
        file.SetSuffix("vxs");
        if (!FileSelect(file, FILESELECTTYPE::ANYTHING, FILESELECT::SAVE, "Export to .vxs", "vxs"))
            return true;
        const std::string path = file.GetString().utf8();
        const std::string line = "scene " + documentName(doc) + "\n";
        if (path == "-") {
            std::cout << line << std::flush;
            return true;
        }
        std::ofstream out(path);
        out << line;
        if (!out) GeOutString(String("could not open file: \"" + path + "\""), GEMB_OK);
        return true;
    }
};

class Message : public CommandData {
public:
    bool Execute(BaseDocument*) override {
        GeOutString("something went wrong", GEMB_ICONEXCLAMATION);
        return true;
    }
};

template <class T>
void add(Int32 id, const char* name, const char* help, const char* icon) {
    Filename iconFile(String(GeGetPluginPath().GetString().utf8() + "/res/" + icon));
    std::unique_ptr<BaseBitmap> bitmap = BaseBitmap::Load(iconFile, 1.0);
    T* command = NewObjClear<T>();
    if (!RegisterCommandPlugin(id, name, 0, bitmap.get(), help, command)) DeleteObj(command);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) Int32 c4d_main(Int32 action, void*, void*,
                                                                 void*) {
    if (action == C4DPL_START) {
        if (const char* mode = std::getenv("VXHOST_TEST_START");
            mode && std::string(mode) == "throw")
            throw std::runtime_error("start exploded");
        add<Render>(1033591, "Render in Vantrix", "Render", "render.png");
        add<Update>(1034393, "Update Vantrix scene", "Update", "update.png");
        add<Export>(1034420, "Export to .vxs", "Export", "export.png");
        add<Message>(2000001, "Show message", "Message", "message.png");
        return 1;
    }
    return action == C4DPL_END ? 1 : 0;
}
