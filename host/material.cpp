// Materials: channel states and the shader list.
#include "host/material.h"

namespace host {

bool BaseMaterial::GetChannelState(Int32 channel) const {
    const auto it = channels_.find(channel);
    return it != channels_.end() && it->second;
}

BaseShader* BaseMaterial::InsertShader(std::unique_ptr<BaseShader> shader) {
    if (!shader) return nullptr;
    BaseShader* added = shader.get();
    if (!shaders_.empty()) shaders_.back()->setNext(added);
    shaders_.push_back(std::move(shader));
    return added;
}

}  // namespace host
