// The built-in demo document that vxhost uses when no document file is
// given: a small scene that exercises every feature the conversion has.
#pragma once

#include <memory>
#include <string>

#include "host/document.h"

namespace host {

// The demo as document-file JSON (so it can be written out and edited).
const std::string& DemoDocumentJson();
std::unique_ptr<BaseDocument> LoadDemoDocument();

}  // namespace host
