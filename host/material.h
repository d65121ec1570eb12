// Materials and shaders.
//
// A standard material (5703) has channels with an on/off state, a data
// container (read by id), parameters, and a shader list. Hair materials are
// 1017730. Shaders: 5832 colour, 5833 bitmap, 1011100 and 1012158 gradient.
// GetChannelState of a channel the document does not mention answers false.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "host/list2d.h"

namespace host {

constexpr Int32 Mmaterial = 5703;
constexpr Int32 Mhair = 1017730;
constexpr Int32 Xcolor = 5832;
constexpr Int32 Xbitmap = 5833;
constexpr Int32 Xgradient = 1011100;
constexpr Int32 Xgradient2 = 1012158;

class BaseShader : public BaseList2D {
public:
    using BaseList2D::BaseList2D;
    BaseShader* GetNext() const { return next_; }
    void setNext(BaseShader* s) { next_ = s; }

private:
    BaseShader* next_ = nullptr;
};

class BaseMaterial : public BaseList2D {
public:
    using BaseList2D::BaseList2D;
    bool GetChannelState(Int32 channel) const;
    void SetChannelState(Int32 channel, bool on) { channels_[channel] = on; }
    // Every channel the document mentions, with its state.
    const std::map<Int32, bool>& channels() const { return channels_; }
    BaseContainer* GetDataInstance() { return &container_; }
    const BaseContainer* GetDataInstance() const { return &container_; }
    BaseShader* GetFirstShader() const {
        return shaders_.empty() ? nullptr : shaders_.front().get();
    }
    BaseShader* InsertShader(std::unique_ptr<BaseShader> shader);  // appends
    BaseMaterial* GetNext() const { return next_; }
    void setNext(BaseMaterial* m) { next_ = m; }

private:
    std::map<Int32, bool> channels_;
    BaseContainer container_;
    std::vector<std::unique_ptr<BaseShader>> shaders_;
    BaseMaterial* next_ = nullptr;
};

}  // namespace host
