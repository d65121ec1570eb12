// Parameter access of every node: 900 is the name, everything else lives in
// the node's parameter container.
#include "host/list2d.h"

namespace host {

bool BaseList2D::GetParameter(const DescID& id, GeData& out) const {
    if (id.GetDepth() == 0) return false;
    if (id[0] == ID_BASELIST_NAME) {
        out = GeData(name_);
        return true;
    }
    const GeData* value = params_.Find(id[0]);
    if (!value) return false;
    out = *value;
    return true;
}

bool BaseList2D::SetParameter(const DescID& id, const GeData& value) {
    if (id.GetDepth() == 0) return false;
    if (id[0] == ID_BASELIST_NAME) {
        if (value.GetType() != GeData::Type::String) return false;
        name_ = value.GetString();
        return true;
    }
    params_.Set(id[0], value);
    return true;
}

}  // namespace host
