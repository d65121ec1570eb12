// MaterialNameTable: the scene names of distinct materials, kept for as long
// as the plug-in is loaded so that a material keeps its name from one export
// (or render) to the next.
//
// Contract. Under each base name (the host material's name, or "Display
// color" for none) the table numbers the distinct records (MaterialRecordLess)
// in the order they are first met: the first is named after the base name,
// the n-th (n >= 1) "<base> #<n>". Entries are never removed, so a material
// whose content changed since an earlier export gets the next number, even
// when it is the only one of that name in the current scene. Not thread-safe
// (everything runs on the host's main thread).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "convert/material_record.h"

namespace convert {

class MaterialNameTable {
public:
    // The scene name of `record`, entering it when it is new.
    std::string nameFor(const MaterialRecord& record);

    // The base name `record` is numbered under.
    static std::string baseName(const MaterialRecord& record);

    // Number of distinct records under all base names.
    std::size_t size() const;

private:
    std::map<std::string, std::map<MaterialRecord, std::int64_t, MaterialRecordLess>> table_;
};

}  // namespace convert
