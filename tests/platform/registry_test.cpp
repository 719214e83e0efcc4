// The text-file registry hives.
#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"

using namespace platform;
using test_support::ScopedEnv;
using test_support::ScratchFolder;

TEST(Registry, ValuesRoundTripPerHiveAndMatchWithoutCase) {
    ScratchFolder dir;
    ScopedEnv user("VELLUMO_REGISTRY_USER", dir.Path("user/deep/registry.ini"));
    ScopedEnv machine("VELLUMO_REGISTRY_MACHINE", dir.Path("machine.ini"));
    const std::string key = "SOFTWARE\\Vendor\\Product";
    ASSERT_TRUE(RegistryWriteString(RegistryHive::CurrentUser, key, "InstallLocation", "/opt/product"));
    ASSERT_TRUE(RegistryWriteDword(RegistryHive::CurrentUser, key, "ApplicationLook", 215));
    EXPECT_EQ(RegistryReadString(RegistryHive::CurrentUser, "software\\vendor\\PRODUCT", "installlocation")
                  .value_or(""),
              "/opt/product");
    EXPECT_EQ(RegistryReadDword(RegistryHive::CurrentUser, key, "ApplicationLook").value_or(0), 215u);
    EXPECT_FALSE(RegistryReadString(RegistryHive::LocalMachine, key, "InstallLocation"))
        << "hives are separate";
    EXPECT_FALSE(RegistryReadString(RegistryHive::CurrentUser, key, "Missing"));
}

TEST(Registry, EmptyValuesExistAndReadsAreBounded) {
    ScratchFolder dir;
    ScopedEnv user("VELLUMO_REGISTRY_USER", dir.Path("r.ini"));
    ASSERT_TRUE(RegistryWriteString(RegistryHive::CurrentUser, "K", "Empty", ""));
    ASSERT_TRUE(RegistryWriteString(RegistryHive::CurrentUser, "K", "Long", std::string(300, 'a')));
    EXPECT_EQ(RegistryReadString(RegistryHive::CurrentUser, "K", "Empty").value_or("absent"), "");
    EXPECT_EQ(RegistryReadString(RegistryHive::CurrentUser, "K", "Long", 261)->size(), 260u);
    ASSERT_TRUE(RegistryWriteString(RegistryHive::CurrentUser, "K", "NotNumber", "12x"));
    EXPECT_FALSE(RegistryReadDword(RegistryHive::CurrentUser, "K", "NotNumber"));
    ASSERT_TRUE(RegistryDeleteValue(RegistryHive::CurrentUser, "K", "Empty"));
    EXPECT_FALSE(RegistryReadString(RegistryHive::CurrentUser, "K", "Empty"));
}
