// MaterialNameTable: the names given to distinct materials for as long as the
// plug-in is loaded, so that a material keeps its name from one export to the
// next. The material export fills it; until that exists it holds nothing.
#pragma once

namespace convert {

struct MaterialNameTable {};

}  // namespace convert
