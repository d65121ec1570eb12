// The built module as the host loads it: c4d_main is its only export, and
// its icons lie in res/ beside it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(Module, ExportsTheEntryOnlyAndCarriesItsIcons) {
    void* module = dlopen(VX_PLUGIN_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    EXPECT_NE(dlsym(module, "c4d_main"), nullptr);
    EXPECT_EQ(dlsym(module, "_ZN6plugin16registerCommandsEv"), nullptr);
    EXPECT_EQ(
        dlsym(module,
              "_ZN7convert14exportDocumentERN6plugin16ExportControllerEPN4host12BaseDocumentE"),
        nullptr);
    dlclose(module);

    const auto res = std::filesystem::path(VX_PLUGIN_MODULE).parent_path() / "res";
    for (const char* icon : {"render.png", "update.png", "export.png"}) {
        EXPECT_TRUE(std::filesystem::exists(res / icon)) << icon;
    }
}

}  // namespace
