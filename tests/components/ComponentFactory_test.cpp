#include "components/ComponentFactory.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "components/Disk.h"
#include "components/QuillonBroker.h"
#include "components/TextFile.h"
#include "components/uploader/CurlUploader.h"
#include "support/Expect.h"
#include "support/TolvaneHome.h"

namespace tolvane::components {
namespace {

TEST(ComponentFactoryTest, MakesTheLocalComponentsOrWhatTakesTheirPlaceAndElseFailsWith429) {
    test::TolvaneHome home;
    ComponentFactory& factory = home.factory();
    EXPECT_NE(dynamic_cast<LocalDisk*>(factory.Create<Disk>(kDisk).get()), nullptr);
    EXPECT_NE(dynamic_cast<LocalTextFile*>(factory.Create<TextFile>(kTextFile).get()), nullptr);
    EXPECT_NE(dynamic_cast<QuillonBroker*>(factory.Create<Broker>(kBroker).get()), nullptr);
    EXPECT_NE(dynamic_cast<CurlUploader*>(factory.Create<Uploader>(kUploader).get()), nullptr);

    const ComponentFactory::Creator creators[] = {
        [] { return std::make_unique<LocalTextFile>(); },  // not a disk
        []() -> std::unique_ptr<Component> { throw Failure(7, "Tolvane", "Sin memoria"); },
        []() -> std::unique_ptr<Component> { throw std::runtime_error("roto"); },
        [] { return std::unique_ptr<Component>(); },
        nullptr,  // nothing registered
    };
    for (const auto& creator : creators) {
        creator ? factory.Register(kDisk, creator) : factory.Unregister(kDisk);
        test::ExpectFailure([&] { factory.Create<Disk>(kDisk); },
                            failure_number::kCannotCreateComponent, "", {kDisk});
    }
    // Whatever is registered takes the place of the standard component.
    factory.Register(kDisk, [] { return std::make_unique<LocalTextFile>(); });
    EXPECT_NE(dynamic_cast<LocalTextFile*>(factory.Create<TextFile>(kDisk).get()), nullptr);
}

}  // namespace
}  // namespace tolvane::components
