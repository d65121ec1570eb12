// RegistryStore: the keys and values of the renderer's installation records,
// read the way the plug-in reads the Windows registry.
//
// Contract. Two roots stand for the registry's two roots: the user root is
// searched before the machine root. A key is opened by its path under a root
// ("SOFTWARE\Talvik\Vantrix 8"); key paths and value names compare without
// regard to ASCII case, and trailing backslashes are ignored, as the registry
// does. A key exists when it is listed or is the parent of a listed key. An
// opened key is a snapshot of its values; closing it is destroying it. A value
// is a 32-bit number or a text; reading it as the other kind fails, and a
// text ends at its first zero character.
//
// JsonRegistryStore keeps each root in a JSON file that maps key paths to
// objects of values (string = text, integer 0..4294967295 = number). Files are
// read afresh on every open, so a registration made while the host runs is
// seen at once. A missing or unreadable file is an empty root; a malformed one
// is an empty root plus one line on the standard error stream (once for each
// distinct malformed content). Nothing here throws for bad files.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class RegistryRoot { user, machine };

class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    virtual std::optional<std::uint32_t> readNumber(std::string_view name) const = 0;
    virtual std::optional<std::string> readText(std::string_view name) const = 0;
};

class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    // Null when the key does not exist under that root.
    virtual std::unique_ptr<RegistryKey> openKey(RegistryRoot root,
                                                 std::string_view path) const = 0;
};

// The file of a root: $TALVIK_REGISTRY_USER or ~/.config/talvik/registry.json,
// $TALVIK_REGISTRY_MACHINE or /etc/talvik/registry.json. Read from the
// environment at each call.
std::string defaultRegistryPath(RegistryRoot root);

// Key path or value name equality as the registry sees it.
bool sameRegistryName(std::string_view a, std::string_view b);

class JsonRegistryStore final : public RegistryStore {
public:
    // Follows the environment: the root files are looked up at every open.
    JsonRegistryStore();
    // Fixed root files (tests, tools).
    JsonRegistryStore(std::string userPath, std::string machinePath);
    ~JsonRegistryStore() override;

    std::unique_ptr<RegistryKey> openKey(RegistryRoot root, std::string_view path) const override;
    std::string rootPath(RegistryRoot root) const;

private:
    struct State;
    std::optional<std::string> userPath_;
    std::optional<std::string> machinePath_;
    std::unique_ptr<State> state_;
};

// The process-wide store that follows the environment.
const RegistryStore& systemRegistryStore();

}  // namespace platform
