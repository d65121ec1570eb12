#include "livelink/instance_choice.h"

#include <tinyxml.h>

#include <cstring>

#include "livelink/installation.h"

namespace tal {

namespace {

// The document's first node, or null when the text is missing or does not
// parse: a half-parsed document is not trusted.
const TiXmlNode* parsedRoot(TiXmlDocument& document, const char* xml) {
    if (xml == nullptr) return nullptr;
    document.Parse(xml, nullptr, TIXML_DEFAULT_ENCODING);
    if (document.Error()) return nullptr;
    return document.FirstChild();
}

// Pre-order from `node` itself: the first node whose value is `name`.
const TiXmlNode* findNamed(const TiXmlNode* node, const char* name) {
    if (node == nullptr) return nullptr;
    if (std::strcmp(node->Value(), name) == 0) return node;
    for (const TiXmlNode* child = node->FirstChild(); child != nullptr;
         child = child->NextSibling()) {
        if (const TiXmlNode* found = findNamed(child, name)) return found;
    }
    return nullptr;
}

// The decimal value of the named element's text; false when the element or
// its text is missing.
bool readNumber(const TiXmlNode* entry, const char* name, long long& value) {
    const TiXmlNode* element = findNamed(entry, name);
    if (element == nullptr || element->FirstChild() == nullptr) return false;
    value = parseLeadingInt(element->FirstChild()->Value());
    return true;
}

bool isIdle(const TiXmlNode* root) {
    const TiXmlNode* first = root != nullptr ? root->FirstChild() : nullptr;
    if (first == nullptr) return false;
    for (const TiXmlNode* child = first->FirstChild(); child != nullptr;
         child = child->NextSibling()) {
        if (child->FirstChild() != nullptr) return false;
    }
    return true;
}

bool holdsName(const TiXmlNode* node, const std::string& name, int levelsLeft) {
    if (node == nullptr || levelsLeft <= 0) return false;
    if (const TiXmlElement* element = node->ToElement()) {
        const char* modelset = element->Attribute("modelset");
        if (modelset != nullptr && std::strcmp(modelset, "active") != 0) return false;
        const char* elementName = element->Attribute("name");
        if (elementName != nullptr && name == elementName) return true;
    }
    for (const TiXmlNode* child = node->FirstChild(); child != nullptr;
         child = child->NextSibling()) {
        if (holdsName(child, name, levelsLeft - 1)) return true;
    }
    return false;
}

}  // namespace

std::vector<InstanceInfo> parseInstanceList(const char* xml, int minVersion, int maxVersion) {
    std::vector<InstanceInfo> instances;
    TiXmlDocument document;
    const TiXmlNode* root = parsedRoot(document, xml);
    if (root == nullptr) return instances;
    for (const TiXmlNode* entry = root->FirstChild(); entry != nullptr;
         entry = entry->NextSibling()) {
        long long version = 0;
        long long processId = 0;
        long long port = 0;
        if (!readNumber(entry, "version_major", version)) continue;
        if (version < minVersion || version > maxVersion) continue;
        if (!readNumber(entry, "process_id", processId)) continue;
        if (!readNumber(entry, "livelink_port", port)) continue;
        instances.push_back(
            {static_cast<std::int32_t>(version), processId, static_cast<std::int32_t>(port)});
    }
    return instances;
}

SceneDescription readSceneDescription(const char* xml, const std::string& sceneName, int levels) {
    TiXmlDocument document;
    const TiXmlNode* root = parsedRoot(document, xml);
    SceneDescription description;
    description.idle = isIdle(root);
    description.holdsName = !sceneName.empty() && holdsName(root, sceneName, levels);
    return description;
}

int nameSearchLevels(int versionMajor) { return versionMajor >= 7 ? 4 : 3; }

std::vector<InstanceInfo> listInstances(talQuery_api& query, int minVersion, int maxVersion) {
    return parseInstanceList(query.instanceList(), minVersion, maxVersion);
}

InstanceChoice chooseInstance(talQuery_api& query, const std::vector<InstanceInfo>& instances,
                              const std::string& sceneName, bool preferRunning) {
    InstanceInfo idle;
    InstanceInfo any;
    InstanceInfo named;
    for (const InstanceInfo& record : instances) {
        if (!query.attachInstance(static_cast<std::uint64_t>(record.processId))) continue;
        const char* info = query.sceneInfo();
        if (info == nullptr) {
            query.detachInstance();
            continue;
        }
        const SceneDescription scene =
            readSceneDescription(info, sceneName, nameSearchLevels(record.versionMajor));
        if (scene.idle && record.versionMajor > idle.versionMajor) idle = record;
        if (preferRunning && record.versionMajor > any.versionMajor) any = record;
        if (scene.holdsName && record.versionMajor > named.versionMajor) named = record;
        query.detachInstance();
    }
    if (named.versionMajor != 0) return {named, true};
    return {any.versionMajor != 0 ? any : idle, false};
}

}  // namespace tal
