// BaseList2D: what every host node has: a type id, a name, parameters by id,
// a bit set and a place in a sibling list.
//
// Parameters: GetParameter answers false when the node has no value for the
// id (only the first level of the DescID addresses a parameter). Parameter
// 900 reads the node's name. Nodes are owned by their parent (document,
// object, material); pointers handed out stay valid while the document lives
// and its structure is not edited.
#pragma once

#include <string>

#include "host/data.h"
#include "host/strings.h"
#include "host/types.h"

namespace host {

constexpr Int32 ID_BASELIST_NAME = 900;
constexpr Int32 BIT_CONTROLOBJECT = 0x200;

class BaseList2D {
public:
    explicit BaseList2D(Int32 type) : type_(type) {}
    virtual ~BaseList2D() = default;
    BaseList2D(const BaseList2D&) = delete;
    BaseList2D& operator=(const BaseList2D&) = delete;

    Int32 GetType() const { return type_; }
    String GetName() const { return name_; }
    void SetName(const String& name) { name_ = name; }

    bool GetParameter(const DescID& id, GeData& out) const;
    bool SetParameter(const DescID& id, const GeData& value);
    void RemoveParameter(Int32 id) { params_.Remove(id); }
    BaseContainer& params() { return params_; }
    const BaseContainer& params() const { return params_; }

    Int32 GetAllBits() const { return bits_; }
    bool GetBit(Int32 mask) const { return (bits_ & mask) != 0; }
    void SetAllBits(Int32 bits) { bits_ = bits; }

    // The node's id in the document file (target of links), may be empty.
    const std::string& fileId() const { return fileId_; }
    void setFileId(std::string id) { fileId_ = std::move(id); }

private:
    Int32 type_;
    String name_;
    BaseContainer params_;
    Int32 bits_ = 0;
    std::string fileId_;
};

}  // namespace host
