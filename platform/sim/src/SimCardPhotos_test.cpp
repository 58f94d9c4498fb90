// The firmware table of the photo reader and the simulated camera's models agree.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "zqmf/ZQCameraModels.h"
#include "zqsim/SimCamera.h"
#include "zqsim/SimState.h"

namespace {

TEST(SimCameraModels, EveryModelHasAFirmwareRowOfTheSameName) {
  for (const zqsim::ModelSpec& m : zqsim::Models()) {
    const ZQCameraModel* row = zq_camera_model_for_number(m.number);
    ASSERT_NE(row, nullptr) << static_cast<int>(m.number);
    EXPECT_EQ(std::string(row->displayName), m.name);
    EXPECT_EQ(std::string(row->shortName), m.dir);
    // The spherical models belong to the spherical firmware family.
    EXPECT_EQ(zq_firmware_series((row->firmware + std::string(".00.00")).c_str()).type,
              m.lenses == 2 ? 2 : 1)
        << m.name;
  }
}

TEST(SimCameraModels, DefaultFirmwareNamesTheDefaultModel) {
  auto d = std::make_unique<zqsim::SimStateData>();
  zqsim::SetDefaults(d.get());
  const ZQCameraModel* row = zq_camera_model_for_firmware(d->identity.firmware_version);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->modelNumber, d->identity.model_number);
  EXPECT_EQ(std::string(row->displayName), d->identity.model_name);
}

}  // namespace
