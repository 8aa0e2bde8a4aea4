#include "components/ComponentFactory.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "components/Disk.h"
#include "components/QuillonBroker.h"
#include "components/TextFile.h"
#include "components/uploader/CurlUploader.h"
#include "support/TolvaneHome.h"

namespace tolvane::components {
namespace {

struct FakeDisk final : Disk {
    bool ExisteCarpeta(const std::string&) override { return true; }
    bool ExisteArchivo(const std::string&) override { return true; }
    void CopiarArchivo(const std::string&, const std::string&, bool) override {}
    void EliminarArchivo(const std::string&, bool) override {}
    std::string getDirectorioProgramFiles() override { return "fake"; }
};

template <class Action>
void ExpectCannotCreate(Action&& action, const std::string& name) {
    try {
        action();
        ADD_FAILURE() << "created";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), failure_number::kCannotCreateComponent);
        EXPECT_NE(failure.description().find(name), std::string::npos) << failure.description();
    }
}

TEST(ComponentFactoryTest, StandardComponentsAreTheLocalOnesAndFakesCanTakeTheirPlace) {
    test::TolvaneHome home;
    ComponentFactory& factory = home.factory();
    EXPECT_NE(dynamic_cast<LocalDisk*>(factory.Create<Disk>(kDisk).get()), nullptr);
    EXPECT_NE(dynamic_cast<LocalTextFile*>(factory.Create<TextFile>(kTextFile).get()), nullptr);
    EXPECT_NE(dynamic_cast<QuillonBroker*>(factory.Create<Broker>(kBroker).get()), nullptr);
    EXPECT_NE(dynamic_cast<CurlUploader*>(factory.Create<Uploader>(kUploader).get()), nullptr);

    factory.Register(kDisk, [] { return std::make_unique<FakeDisk>(); });
    EXPECT_EQ(factory.Create<Disk>(kDisk)->getDirectorioProgramFiles(), "fake");
    factory.Unregister(kDisk);
    ExpectCannotCreate([&] { factory.Create<Disk>(kDisk); }, kDisk);
}

TEST(ComponentFactoryTest, ACreatorThatFailsOrGivesTheWrongThingIsFailure429) {
    using Made = std::unique_ptr<Component>;
    const ComponentFactory::Creator creators[] = {
        []() -> Made { throw Failure(7, "Tolvane", "Memoria insuficiente"); },
        []() -> Made { throw std::runtime_error("roto"); },
        [] { return Made(); },
    };
    for (const auto& creator : creators) {
        ComponentFactory factory;
        factory.Register(kDisk, creator);
        ExpectCannotCreate([&] { factory.Create<Disk>(kDisk); }, kDisk);
    }
    ComponentFactory factory;
    factory.Register(kDisk, [] { return std::make_unique<FakeDisk>(); });
    ExpectCannotCreate([&] { factory.Create<TextFile>(kDisk); }, kDisk);
}

}  // namespace
}  // namespace tolvane::components
