// A machine without SDL2: the sound device cannot open, says why in its usual
// box, and nothing else of the output breaks. A program of its own, since SDL2
// is looked for once per process.
#include <gtest/gtest.h>

#include <string>

#include "output/outputs.h"
#include "output/sdl_library.h"
#include "platform/messages.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

constexpr char kMissing[] = "libvek-test-no-sdl.so.0";

TEST(MissingSdl, DeviceOpenFailsWithABoxNamingTheLibrary) {
    SetSdlSonameForTests(kMissing);
    test::RecordingDesktop desktop;
    SelectOutputSystem(0);
    EXPECT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 0);
    EXPECT_EQ(Output().IsOpen(), 0);
    std::vector<test::Box> boxes = desktop.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "waveOutOpen");
    EXPECT_EQ(boxes[0].style, MB_OK);
    EXPECT_NE(boxes[0].text.find(kMissing), std::string::npos) << boxes[0].text;

    // The rest of the table and the device list act as for a closed device.
    EXPECT_EQ(GetDeviceCount(), 0);
    char name[32];
    EXPECT_EQ(GetDeviceName(0, name, sizeof name), 0);
    EXPECT_STREQ(name, "Bad Device");
    Output().Pause();
    Output().Resume();
    Output().Reset();
    EXPECT_EQ(Output().Close(0), 0);
    ShutdownSoundDevice();
    EXPECT_EQ(desktop.Boxes().size(), 1u);
}

}  // namespace
}  // namespace vek
